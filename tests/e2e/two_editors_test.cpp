// Two editors, each with its own serial driver, against one vadrelon-pedal-sim: the port
// is one program's at a time, and the other is told so in one message.
#include "device/serialdrivers.h"
#include "support/printers.h"
#include "support/scopedpedalsdir.h"
#include "support/scriptedprompt.h"
#include "ui/editor.h"
#include "ui/mainwindow.h"
#include "unit/unprivileged.h"

#include <QAction>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "support/waitfor.h"

#include <functional>
#include <memory>
#include <optional>

using namespace vadrelon;

namespace {

using test::waitFor;

// One editor as main() builds it, with a prompt that records what it is told.
struct Seat {
    explicit Seat(const QString &documents) : editor(*driver, prompt, documents) {}

    void trigger(const char *action) { editor.mainWindow->findChild<QAction *>(action)->trigger(); }
    bool settle()
    {
        return waitFor([&] { return !editor.link.busy(); }, 8000);
    }

    const std::unique_ptr<SerialDriver> driver = makeSerialDriver();
    test::ScriptedPrompt prompt;
    Editor editor;
};

// Run as the tests run, and as an ordinary user: root may open a terminal another program holds
// for itself, and only the editors' lock keeps it out.
class TwoEditors : public ::testing::TestWithParam<bool> {};

TEST_P(TwoEditors, OnOnePedalTheSecondIsToldItIsInUseAndTheFirstWorksOn)
{
    std::optional<test::WithoutAdminPower> ordinaryUser;
    if (GetParam())
        ordinaryUser.emplace();
    QTemporaryDir dir;
    const QString announce = dir.filePath("announce");
    QProcess pedal;
    pedal.start(QStringLiteral(VADRELON_BIN_DIR "/vadrelon-pedal-sim"),
                {"--announce-dir", announce, "--log", dir.filePath("pedal.log")});
    ASSERT_TRUE(pedal.waitForReadyRead(5000)) << "the virtual pedal did not start";
    const QString port = QString::fromLocal8Bit(pedal.readLine().trimmed());
    const test::ScopedPedalsDir announced(announce);
    const auto requestsReceived = [&] {
        QFile log(dir.filePath("pedal.log"));
        return log.open(QIODevice::ReadOnly) ? log.readAll().count(" 02 00\n") : 0;
    };

    Seat first(dir.filePath("first"));
    first.trigger("menuConnect");
    ASSERT_TRUE(first.settle());
    ASSERT_TRUE(first.editor.link.isLinked());
    ASSERT_TRUE(first.prompt.messages.isEmpty()) << first.prompt.messages.join('|').toStdString();
    ASSERT_TRUE(waitFor([&] { return requestsReceived() == 1; }, 2000));

    // Started while the first holds the port: the pedal is still listed, as it is there.
    Seat second(dir.filePath("second"));
    second.trigger("menuConnect");
    ASSERT_TRUE(second.settle());
    ASSERT_EQ(second.prompt.messages.size(), 1) << second.prompt.messages.join('|').toStdString();
    EXPECT_TRUE(second.prompt.messages[0].startsWith("The pedal's port " + port + " is in use by another program."))
        << second.prompt.messages[0].toStdString();
    EXPECT_FALSE(second.editor.link.isLinked());

    first.editor.mainWindow->findChild<QPushButton *>("btnRequest")->click();
    ASSERT_TRUE(first.settle());
    EXPECT_TRUE(first.editor.link.isLinked());
    EXPECT_TRUE(first.prompt.messages.isEmpty()) << first.prompt.messages.join('|').toStdString();
    EXPECT_TRUE(waitFor([&] { return requestsReceived() == 2; }, 2000)) << requestsReceived();

    pedal.terminate();
    pedal.waitForFinished(5000);
}

INSTANTIATE_TEST_SUITE_P(, TwoEditors, ::testing::Bool(), [](const ::testing::TestParamInfo<bool> &info) {
    return info.param ? "AsAnOrdinaryUser" : "AsTheTestsRun";
});

} // namespace
