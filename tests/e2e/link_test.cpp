// The real programs over a pseudo-terminal: the editor's windows driven through the system's
// serial driver against vadrelon-pedal-sim, and the built editor started and ended.
#include "device/serialdrivers.h"
#include "support/printers.h"
#include "support/scopedpedalsdir.h"
#include "support/scriptedprompt.h"
#include "support/synthetic_images.h"
#include "ui/dialwidget.h"
#include "ui/editor.h"
#include "ui/effectwindow.h"
#include "ui/firmwarewindow.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QResource>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "support/waitfor.h"

using namespace vadrelon;

namespace {

const QString kBin = QStringLiteral(VADRELON_BIN_DIR);

// vadrelon-pedal-sim announced in a folder of the test's own, ended by SIGTERM.
class PedalProcess {
public:
    explicit PedalProcess(const QTemporaryDir &dir, const QStringList &extra = {})
    {
        announce_ = dir.filePath("announce");
        log_ = dir.filePath("pedal.log");
        process_.start(kBin + "/vadrelon-pedal-sim", QStringList{"--announce-dir", announce_, "--log", log_} + extra);
        if (process_.waitForReadyRead(5000))
            port_ = QString::fromLatin1(process_.readLine().trimmed());
    }
    ~PedalProcess()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }
    QString port() const { return port_; }
    QString announceDir() const { return announce_; }
    QStringList logMessages() const
    {
        QFile f(log_);
        QStringList out;
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray &line : f.readAll().split('\n'))
                if (!line.isEmpty())
                    out << QString::fromLatin1(line.mid(line.indexOf(' ') + 1));
        return out;
    }
    QProcess &process() { return process_; }

private:
    QProcess process_;
    QString port_, announce_, log_;
};

using test::waitFor;

} // namespace

TEST(EndToEnd, LinkOverThePseudoTerminalShowsThePedalsVersions)
{
    QTemporaryDir dir;
    PedalProcess pedal(dir, {"--firmware", "11", "--algorithm", "0012"});
    ASSERT_FALSE(pedal.port().isEmpty()) << "the virtual pedal did not start";
    const test::ScopedPedalsDir announced(pedal.announceDir());

    const std::unique_ptr<SerialDriver> driver = makeSerialDriver();
    test::ScriptedPrompt prompt;
    Editor editor(*driver, prompt, dir.filePath("documents"));
    MainWindow &w = *editor.mainWindow;
    const auto label = [&](const char *name) { return w.findChild<QLabel *>(name)->text(); };
    EXPECT_EQ(label("lblDeviceName"), "Vadrelon MK3 (virtual)");
    w.findChild<QAction *>("menuConnect")->trigger();
    ASSERT_TRUE(waitFor([&] { return !editor.link.busy(); }, 5000));
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join('|').toStdString();
    EXPECT_EQ(label("lblDeviceName"), "Vadrelon MK3 (virtual) linked");
    EXPECT_EQ(label("lblFirmwareVersion"), "Device Firmware: 11");
    EXPECT_EQ(label("lblAlgorithmVersion"), "Device Algorithm: 0012");
    EXPECT_TRUE(waitFor([&] { return pedal.logMessages().contains("02 00"); }, 2000))
        << pedal.logMessages().join('|').toStdString();

    w.findChild<QAction *>("menuDisconnect")->trigger();
    EXPECT_EQ(label("lblDeviceName"), "Vadrelon MK3 (virtual)");
}

TEST(EndToEnd, ThePedalEndingWhileLinkedUnlinksTheEditor)
{
    QTemporaryDir dir;
    auto pedal = std::make_unique<PedalProcess>(dir);
    ASSERT_FALSE(pedal->port().isEmpty());
    const test::ScopedPedalsDir announced(pedal->announceDir());
    const std::unique_ptr<SerialDriver> driver = makeSerialDriver();
    test::ScriptedPrompt prompt;
    Editor editor(*driver, prompt, dir.filePath("documents"));
    editor.mainWindow->findChild<QAction *>("menuConnect")->trigger();
    ASSERT_TRUE(waitFor([&] { return !editor.link.busy(); }, 5000));
    ASSERT_TRUE(editor.link.isLinked());
    pedal.reset(); // the cable is pulled
    EXPECT_TRUE(waitFor([&] { return !editor.link.isLinked(); }, 3000));
    EXPECT_EQ(prompt.messages.size(), 1) << prompt.messages.join('|').toStdString();
}

// The editor's windows over the system's serial driver against the real program on its pty.
class OverThePty : public ::testing::Test {
public:
    void startWith(const QStringList &options)
    {
        pedal = std::make_unique<PedalProcess>(dir, options);
        ASSERT_FALSE(pedal->port().isEmpty()) << "the virtual pedal did not start";
        announced = std::make_unique<test::ScopedPedalsDir>(pedal->announceDir());
        editor = std::make_unique<Editor>(*driver, prompt, dir.filePath("documents"));
    }
    template <typename T>
    T *find(const char *name)
    {
        for (QWidget *top :
             {static_cast<QWidget *>(editor->mainWindow.get()), static_cast<QWidget *>(editor->windows.builtEffect())})
            if (T *found = top ? top->findChild<T *>(name) : nullptr)
                return found;
        return nullptr;
    }
    bool settle()
    {
        return waitFor([&] { return !editor->session.link().busy(); }, 8000);
    }
    void link()
    {
        find<QAction>("menuConnect")->trigger();
        ASSERT_TRUE(settle());
    }

    QTemporaryDir dir;
    std::unique_ptr<PedalProcess> pedal;
    std::unique_ptr<test::ScopedPedalsDir> announced;
    const std::unique_ptr<SerialDriver> driver = makeSerialDriver();
    test::ScriptedPrompt prompt;
    std::unique_ptr<Editor> editor;
};

TEST_F(OverThePty, ASilentPedalGetsOneClearMessageAndStaysLinked)
{
    startWith({"--silent"});
    link();
    EXPECT_EQ(prompt.messages, QStringList({"The pedal did not answer the status request. Check that it is powered "
                                            "and linked, then try again."}));
    EXPECT_TRUE(editor->session.link().isLinked());
    EXPECT_TRUE(find<QPushButton>("btnRequest")->isEnabled());
}

TEST_F(OverThePty, AKnobAndAConfirmedCommandReachThePedalInOrder)
{
    startWith({});
    link();
    ASSERT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join('|').toStdString();
    find<DialWidget>("dialDry")->setAngle(90);
    prompt.answers = {true};
    find<QPushButton>("btnAssign")->click();
    ASSERT_TRUE(waitFor([&] { return pedal->logMessages().size() >= 3; }, 3000));
    EXPECT_EQ(pedal->logMessages(),
              QStringList({"02 00", "01 00 25 00 3F C0 00", "04 00 00 00 00 00 FF FF FF FF FF FF FF FF FF FF"}));
}

TEST_F(OverThePty, AnImageGoesOutWholeAndThePedalsAnswerIsShown)
{
    ASSERT_TRUE(QResource::registerResource(VADRELON_TEST_IMAGES_RCC));
    startWith({"--line-rate"}); // the image takes its real time on the line
    link();
    prompt.answers = {true};
    find<QPushButton>("btnUpload")->click();
    ASSERT_TRUE(waitFor([&] { return pedal->logMessages().size() >= 4 && !editor->session.link().busy(); }, 10000));
    const QStringList got = pedal->logMessages();
    EXPECT_EQ(got[1], "0D 01");
    EXPECT_EQ(got[2].size(), 4512 * 3 - 1) << "one message of 4512 bytes";
    EXPECT_EQ(got[3], "02 00");
    EXPECT_EQ(find<QLabel>("lblStatus")->text(), "Upload complete\r\n");
    QResource::unregisterResource(VADRELON_TEST_IMAGES_RCC);
}

TEST_F(OverThePty, AnUnplugInTheMiddleOfUseIsToldOnce)
{
    startWith({"--unplug-after", "2"});
    link();
    prompt.answers = {true};
    find<QPushButton>("btnSaveParameters")->click(); // the second message: the pedal goes
    ASSERT_TRUE(waitFor([&] { return !editor->session.link().isLinked() && !editor->session.link().busy(); }, 3000));
    QTest::qWait(200);
    EXPECT_EQ(prompt.messages,
              QStringList({"Save Parameters to pedal?", "The pedal is no longer connected. Plug it in again and choose "
                                                        "Connection → Link."}));
    EXPECT_TRUE(find<QAction>("menuScan")->isEnabled());
}

// An upgrade that stops leaves the pedal in its bootloader, greeted: the next editor's plain
// Link finds it there (its NACK to the status request tells), and an upgrade from the file
// finishes the job.
TEST_F(OverThePty, AnUpgradeStoppedByANackIsFinishedByTheNextEditor)
{
    startWith({"--bootloader", "--nack", "write:data", "--nack-times", "1"});
    const QString file = dir.filePath("FIRMWARE_11.bin");
    QFile image(file);
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.write(MakeFirmwareImage(11, 1000));
    image.close();
    const QString waiting = "The pedal is waiting in its bootloader, without working firmware. Choose Firmware "
                            "Upgrade → Start Firmware Upgrade to install its firmware.";
    const auto upgrade = [&] {
        prompt.messages.clear();
        find<QAction>("menuStartFirmwareUpgrade")->trigger();
        prompt.files = {file};
        editor->windows.firmware().findChild<QPushButton *>("btnUpgradeFromFile")->click();
        return waitFor([&] { return !editor->session.link().busy() && !prompt.messages.isEmpty(); }, 20000);
    };

    link();
    ASSERT_EQ(prompt.messages, QStringList({waiting}));
    ASSERT_TRUE(upgrade());
    ASSERT_TRUE(prompt.messages.last().startsWith("The firmware upgrade stopped at the data of block 0"))
        << prompt.messages.join('|').toStdString();

    // The player closes the editor, which lets go of the port, and starts it again.
    find<QAction>("menuDisconnect")->trigger();
    editor.reset();
    prompt.messages.clear();
    editor = std::make_unique<Editor>(*driver, prompt, dir.filePath("documents"));
    link();
    EXPECT_EQ(prompt.messages, QStringList({waiting}));
    EXPECT_EQ(editor->session.link().state(), LinkState::Bootloader);
    EXPECT_FALSE(find<QPushButton>("btnUpload")->isEnabled());
    ASSERT_TRUE(upgrade());
    EXPECT_EQ(prompt.messages, QStringList({"Firmware Upgrade Complete, device will now restart"}));
    const QStringList got = pedal->logMessages();
    EXPECT_TRUE(got.contains("02 00")) << "asked as a running pedal first";
    EXPECT_EQ(got.mid(got.indexOf("21 DE"), 3), QStringList({"21 DE", "08 00 00 00 08", "02 00"}))
        << "started at the end, then asked for its status";
}

TEST(EndToEnd, TheBuiltEditorShowsItsMainWindowAndEndsCleanly)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs an X display (run the tests under xvfb-run)";
    const QString xdotool = QStandardPaths::findExecutable("xdotool");
    if (xdotool.isEmpty())
        GTEST_SKIP() << "xdotool is not installed";
    QTemporaryDir home;
    QProcess editor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.insert("HOME", home.path());
    editor.setProcessEnvironment(env);
    editor.setProcessChannelMode(QProcess::MergedChannels);
    editor.start(kBin + "/vadrelon-editor");
    ASSERT_TRUE(editor.waitForStarted(5000));

    QProcess search;
    search.start(xdotool, {"search", "--sync", "--onlyvisible", "--name", "^Vadrelon Editor$"});
    const bool shown = search.waitForFinished(15000) && search.exitCode() == 0;
    if (!shown)
        search.kill();
    EXPECT_TRUE(shown) << "no visible main window: " << editor.readAll().toStdString();

    editor.terminate();
    ASSERT_TRUE(editor.waitForFinished(5000));
    EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(editor.exitCode(), 0) << editor.readAll().toStdString();
}
