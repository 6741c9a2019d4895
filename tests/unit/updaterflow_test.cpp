// The steps before the updater program takes over: it is made current from the server, and
// only a clean download is ever written; the editor is told to end only when the updater
// was started with the two paths.
#include "base/consolelog.h"
#include "support/httpsserver.h"
#include "support/printers.h"
#include "support/scriptedprompt.h"
#include "support/updaterflow.h"
#include "support/updateserver.h"
#include "support/waitfor.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vadrelon;
using vadrelon::test::HttpsServer;
using vadrelon::test::ScriptedPrompt;
using vadrelon::test::waitFor;

namespace {

const QByteArray kNewUpdater = QByteArray("MZ new updater ") + QByteArray(5000, 'u');

struct Launch {
    QString program;
    QStringList arguments;
    bool operator==(const Launch &o) const { return program == o.program && arguments == o.arguments; }
};

class UpdaterFlowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(server.problem(), "");
        server.answer(updatepath::kUpdaterVersion, {200, "OK", "1.2"});
        server.answer(updatepath::kUpdater, {200, "OK", kNewUpdater});
    }

    void placeUpdater(const QByteArray &bytes = "MZ old updater")
    {
        QFile f(updater());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) > 0);
    }
    QString updater() const { return QDir(folder.path()).filePath("Vadrelon_Win_Updater.exe"); }
    QString downloaded() const { return QDir(folder.path()).filePath("Vadrelon_Win_Updater_Update.exe"); }
    QStringList withPaths() const
    {
        return {QDir(temp.path()).filePath("Vadrelon_Editor_Update.exe"), "/opt/vadrelon/vadrelon-editor.exe"};
    }

    // The flow's end: nothing when the editor should now end.
    std::optional<Error> run()
    {
        UpdateServer client(server.base(), server.clientTls());
        client.setBoundMs(600);
        UpdaterHooks hooks{[this](const QString &) { return localVersion; },
                           [this](const QString &program, const QStringList &arguments) {
                               launches.push_back({program, arguments});
                               return launchWorks;
                           }};
        UpdaterFlow flow(client, log, prompt, hooks, {folder.path(), "/opt/vadrelon/vadrelon-editor.exe", temp.path()});
        std::optional<std::optional<Error>> end;
        flow.run([&](const std::optional<Error> &e) { end = e; });
        EXPECT_TRUE(waitFor([&] { return end.has_value(); }, 5000));
        return end.value_or(Error{ErrorCode::NoAnswer, "no end"});
    }

    HttpsServer server;
    QTemporaryDir folder, temp;
    ConsoleLog log;
    ScriptedPrompt prompt;
    std::optional<QVersionNumber> localVersion;
    bool launchWorks = true;
    std::vector<Launch> launches;
};

TEST_F(UpdaterFlowTest, WithoutALocalUpdaterItIsDownloadedAndTheUpdaterStarted)
{
    EXPECT_EQ(run(), std::nullopt);
    EXPECT_TRUE(log.lines().contains("Local updater not found, proceed with download..."))
        << log.lines().join(" | ").toStdString();
    EXPECT_EQ(prompt.messages, QStringList{"New updater downloaded! Click OK to proceed with the update."});
    QFile file(downloaded());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), kNewUpdater);
    EXPECT_EQ(launches, (std::vector<Launch>{{updater(), {}}, {updater(), withPaths()}}));
}

TEST_F(UpdaterFlowTest, TheLocalUpdaterIsReplacedOnlyWhenTheServerHasANewerOne)
{
    struct Case {
        const char *local;
        bool downloads;
    };
    for (const Case c : {Case{"1.1", true}, Case{"1.2", false}, Case{"1.10", false}}) {
        SCOPED_TRACE(c.local);
        placeUpdater();
        QFile::remove(downloaded());
        server.requested.clear();
        launches.clear();
        localVersion = QVersionNumber::fromString(c.local);
        EXPECT_EQ(run(), std::nullopt);
        EXPECT_EQ(server.requested.contains(updatepath::kUpdater), c.downloads)
            << server.requested.join(" ").toStdString();
        EXPECT_EQ(QFile::exists(downloaded()), c.downloads);
        EXPECT_EQ(launches.back(), (Launch{updater(), withPaths()}));
    }
}

TEST_F(UpdaterFlowTest, NothingIsWrittenOrStartedFromAnAnswerThatIsNotClean)
{
    struct Case {
        const char *name;
        HttpsServer::Answer version, program;
        const char *said;   // the failure's text, or the message shown
        bool launchesLocal; // the updater already here still runs
    };
    const Case cases[] = {
        {"the version not found", {404, "Not Found", "1.2"}, {200, "OK", kNewUpdater}, "Error: Not Found", false},
        {"the version garbled", {200, "OK", "<html>"}, {200, "OK", kNewUpdater}, "no version", false},
        {"the version too late", {200, "OK", "1.2", 1500}, {200, "OK", kNewUpdater}, "did not answer", false},
        {"the program not found",
         {200, "OK", "1.2"},
         {404, "Not Found", kNewUpdater},
         "Download failed: Error: Not Found",
         true},
        {"the program broken off", {200, "OK", "1.2"}, {200, "OK", kNewUpdater, 0, 100}, "Download failed:", true},
        {"the program too late", {200, "OK", "1.2"}, {200, "OK", kNewUpdater, 1500}, "Download failed:", true},
        {"the program empty", {200, "OK", "1.2"}, {200, "OK", ""}, "Download failed:", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        placeUpdater();
        localVersion = QVersionNumber(1, 1);
        launches.clear();
        prompt.messages.clear();
        server.answer(updatepath::kUpdaterVersion, c.version);
        server.answer(updatepath::kUpdater, c.program);
        const std::optional<Error> end = run();
        EXPECT_FALSE(QFile::exists(downloaded())) << "a download was written";
        if (c.launchesLocal) {
            EXPECT_EQ(end, std::nullopt);
            ASSERT_EQ(prompt.messages.size(), 1);
            EXPECT_TRUE(prompt.messages[0].startsWith(c.said)) << prompt.messages[0].toStdString();
            EXPECT_EQ(launches, (std::vector<Launch>{{updater(), withPaths()}}));
        } else {
            ASSERT_TRUE(end);
            EXPECT_TRUE(end->detail.contains(c.said)) << end->detail.toStdString();
            EXPECT_TRUE(launches.empty()) << "something was started";
        }
    }
}

TEST_F(UpdaterFlowTest, AnUpdaterThatDoesNotStartKeepsTheEditorOpen)
{
    placeUpdater();
    localVersion = QVersionNumber(1, 2);
    launchWorks = false;
    const std::optional<Error> end = run();
    ASSERT_TRUE(end);
    EXPECT_EQ(errorText(*end), "Failed to launch updater. Please run as administrator.");
}

} // namespace
