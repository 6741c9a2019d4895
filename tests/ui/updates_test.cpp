// The update check as the player meets it: a second after start-up, from Info → Check for
// Updates, and the new-version window, against a local HTTPS server.
#include "editorfixture.h"
#include "support/httpsserver.h"
#include "support/updateserver.h"
#include "ui/editor.h"
#include "ui/newversionwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

using namespace vadrelon;
using vadrelon::test::HttpsServer;

namespace {

// Stands in for the browser: the addresses the editor asked to open.
class Browser : public QObject {
    Q_OBJECT
public:
    Browser() { QDesktopServices::setUrlHandler("https", this, "open"); }
    ~Browser() override { QDesktopServices::unsetUrlHandler("https"); }
    QStringList opened;
public slots:
    void open(const QUrl &url) { opened << url.toString(); }
};

class Updates : public test::EditorFixture {
protected:
    void SetUp() override
    {
        ASSERT_EQ(server.problem(), "");
        updates.baseUrl = server.base().toString();
        updates.caFile = server.caFile();
    }
    void serve(const QByteArray &version) { server.answer(updatepath::kEditorVersion, {200, "OK", version}); }
    NewVersionWindow *window() { return editor->updates->newVersionWindow(); }
    bool windowShown() { return window() && window()->isVisible(); }
    QString label(const char *name) { return window()->findChild<QLabel *>(name)->text(); }
    QString caption(const char *item) { return action(item)->text(); }
    QString showMessageFile() const
    {
        return QDir(docs.path()).filePath("NEROV/Vadrelon MK3/ShowMessageVersionAtStartup.txt");
    }
    QByteArray fileText(const QString &path) const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    void writeFile(const QString &path, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }

    HttpsServer server;
    Browser browser;
};

TEST_F(Updates, TheCheckASecondAfterStartUpShowsItsResultInTheInfoMenu)
{
    struct Case {
        const char *name;
        HttpsServer::Answer answer;
        const char *newVersionCaption;
        bool updateNow, windowShown;
    };
    const Case cases[] = {
        {"a newer release", {200, "OK", "1.16.0.0"}, "New version available: 1.16.0.0", true, true},
        {"a release whose first part is higher", {200, "OK", "2.0.0.0"}, "New version available: 2.0.0.0", true, true},
        {"the same release", {200, "OK", "1.15.0.0\n"}, "No update available", false, false},
        {"an older release", {200, "OK", "1.9"}, "No update available", false, false},
        {"not found", {404, "Not Found", "1.16.0.0"}, "New version available:", false, false},
        {"a body that is no version", {200, "OK", "<html>maintenance</html>"}, "New version available:", false, false},
    };
    updates.checkAtStartUp = true;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        server.answer(updatepath::kEditorVersion, c.answer);
        server.requested.clear();
        editor.reset();
        start({});
        waitFor([] { return false; }, 400);
        EXPECT_TRUE(server.requested.isEmpty()) << "asked before a second had passed";
        ASSERT_TRUE(waitFor([&] { return !server.requested.isEmpty(); }, 3000)) << "never asked";
        ASSERT_TRUE(waitFor([&] {
            return std::any_of(log().begin(), log().end(), [](const QString &l) {
                return l.startsWith("newAppVersion: ") || l.startsWith("update check: ");
            });
        })) << "the check never ended";
        EXPECT_EQ(caption("menuNewAppVersion"), c.newVersionCaption);
        EXPECT_EQ(enabled("menuUpdateNow"), c.updateNow);
        EXPECT_EQ(windowShown(), c.windowShown);
        EXPECT_TRUE(prompt.messages.isEmpty()) << "a box at start-up: " << prompt.messages.join(" | ").toStdString();
        if (c.windowShown) {
            EXPECT_EQ(label("Label1"), "A new version of the Vadrelon Editor is available");
            EXPECT_EQ(label("Label2"), "Your version: 1.15.0.0     New version: " + QString(c.answer.body));
            EXPECT_TRUE(logHas("newAppVersion: " + QString(c.answer.body)));
        }
        if (!c.updateNow && c.answer.status != 200) {
            EXPECT_TRUE(logHas("update check: Error: Not Found (status 404 for " + server.base().toString() +
                               "/download/vadrelon-editor-version.php)"))
                << log().join("\n").toStdString();
        }
    }
}

TEST_F(Updates, ThePlayerWhoTurnedTheMessageOffSeesNoWindowButCanStillUpdate)
{
    writeFile(showMessageFile(), "NO");
    updates.checkAtStartUp = true;
    updates.firstCheckDelayMs = 0;
    serve("1.16.0.0");
    start({});
    ASSERT_TRUE(waitFor([&] { return enabled("menuUpdateNow"); }));
    EXPECT_FALSE(windowShown());
    EXPECT_EQ(caption("menuNewAppVersion"), "New version available: 1.16.0.0");
}

TEST_F(Updates, CheckForUpdatesSaysItsResult)
{
    struct Case {
        const char *name;
        HttpsServer::Answer answer;
        const char *said; // the start of the message; nothing when the window tells it
    };
    const QString versionAddress = server.base().toString() + "/download/vadrelon-editor-version.php";
    const Case cases[] = {
        {"the same release", {200, "OK", "1.15"}, "No update available: version 1.15.0.0 is the newest."},
        {"not found", {404, "Not Found", ""}, "Error: Not Found (status 404 for "},
        {"garbage", {200, "OK", "v2!"}, "The update server's answer is no version: \"v2%21\""},
        {"a newer release, though the message is turned off", {200, "OK", "1.16"}, nullptr},
    };
    writeFile(showMessageFile(), "NO");
    start({});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        prompt.messages.clear();
        server.answer(updatepath::kEditorVersion, c.answer);
        trigger("menuCheckForUpdates");
        EXPECT_FALSE(enabled("menuCheckForUpdates")) << "a second check could start while one runs";
        ASSERT_TRUE(waitFor([&] { return enabled("menuCheckForUpdates"); }));
        if (c.said) {
            ASSERT_EQ(prompt.messages.size(), 1);
            EXPECT_TRUE(prompt.messages[0].startsWith(c.said)) << prompt.messages[0].toStdString();
            EXPECT_FALSE(windowShown());
        } else {
            EXPECT_TRUE(prompt.messages.isEmpty());
            EXPECT_TRUE(windowShown());
        }
    }
}

TEST_F(Updates, TheWindowsButtonsOpenTheirPagesAndTheCheckBoxTurnsTheMessageOff)
{
    serve("1.16.0.0");
    start({});
    trigger("menuCheckForUpdates");
    ASSERT_TRUE(waitFor([&] { return windowShown(); }));
    ASSERT_EQ(fileText(showMessageFile()), "YES");

    auto *box = window()->findChild<QCheckBox *>("CheckBox1");
    box->setChecked(true);
    EXPECT_EQ(fileText(showMessageFile()), "NO");
    writeFile(showMessageFile(), "YES");
    box->setChecked(false);
    EXPECT_EQ(fileText(showMessageFile()), "YES") << "unchecking wrote the file";
    EXPECT_TRUE(action("menuShowUpdateMsg")->isChecked()) << "the box changed the menu's mark";

    window()->findChild<QPushButton *>("btnSeeWhatsNew")->click();
    window()->findChild<QPushButton *>("btnLaunchUpdate")->click();
    trigger("menuUpdateNow");
    trigger("menuSupport");
    const QString base = server.base().toString();
    EXPECT_EQ(browser.opened, QStringList({base + "/download/update/whatsnew.html", base + "/download/",
                                           base + "/download/", base + "/contact-us/"}));
    EXPECT_TRUE(windowShown()) << "the buttons leave the window open";
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join(" | ").toStdString();
}

// A look chosen while the window is open leaves its text as large as it was.
TEST_F(Updates, TheWindowKeepsItsTextSizeWhenTheLookChanges)
{
    serve("1.16.0.0");
    start({});
    trigger("menuCheckForUpdates");
    ASSERT_TRUE(waitFor([&] { return windowShown(); }));
    auto *headline = window()->findChild<QLabel *>("Label1");
    const int before = QFontInfo(headline->font()).pixelSize();
    const QSize size = window()->size();
    EXPECT_EQ(before, 14);
    find<QMenu>("menuLook")->actions().at(3)->trigger();
    QApplication::processEvents();
    EXPECT_EQ(QFontInfo(headline->font()).pixelSize(), before);
    EXPECT_GE(window()->width(), size.width());
}

TEST_F(Updates, AnAddressThatIsNotHttpsIsNeverAsked)
{
    updates.baseUrl = "http://127.0.0.1:" + QString::number(server.base().port());
    updates.checkAtStartUp = true;
    updates.firstCheckDelayMs = 0;
    start({});
    ASSERT_TRUE(waitFor([&] {
        return logHas("update check: The update server's address must be an https address, "
                      "not \"" +
                      updates.baseUrl + "\".");
    }));
    EXPECT_TRUE(prompt.messages.isEmpty()) << "a box at start-up";
    trigger("menuCheckForUpdates");
    EXPECT_EQ(prompt.messages.size(), 1);
    trigger("menuSupport");
    EXPECT_TRUE(browser.opened.isEmpty());
    EXPECT_TRUE(server.requested.isEmpty());
}

TEST_F(Updates, AnUnusableCaFileIsToldByTheCheckAndNothingIsAsked)
{
    struct Case {
        const char *name;
        const char *content; // nullptr: no file at all
    };
    const Case cases[] = {
        {"a missing file", nullptr},
        {"a file that holds no certificate", "hello\n"},
        {"an empty file", ""},
    };
    updates.checkAtStartUp = true;
    updates.firstCheckDelayMs = 0;
    serve("1.16.0.0");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        updates.caFile = QDir(docs.path()).filePath(QString("ca-%1.pem").arg(&c - cases));
        if (c.content)
            writeFile(updates.caFile, c.content);
        editor.reset();
        prompt.messages.clear();
        browser.opened.clear();
        start({});
        ASSERT_TRUE(waitFor([&] {
            return std::any_of(log().begin(), log().end(),
                               [](const QString &l) { return l.startsWith("update check: "); });
        })) << "the check at start-up said nothing";
        EXPECT_TRUE(std::any_of(log().begin(), log().end(), [&](const QString &l) {
            return l.startsWith("update check: ") && l.contains(updates.caFile);
        })) << log().join("\n").toStdString();
        EXPECT_TRUE(prompt.messages.isEmpty()) << "a box at start-up";
        trigger("menuCheckForUpdates");
        ASSERT_EQ(prompt.messages.size(), 1);
        EXPECT_TRUE(prompt.messages[0].contains(updates.caFile)) << prompt.messages[0].toStdString();
        EXPECT_TRUE(server.requested.isEmpty());
        EXPECT_FALSE(enabled("menuUpdateNow"));
        // The browser trusts whom it trusts: the support page does not need the file.
        trigger("menuSupport");
        EXPECT_EQ(browser.opened, QStringList{server.base().toString() + "/contact-us/"});
    }
}

// Start-up loads nothing of TLS: the file of extra authorities is first read when the first
// check starts, so one that appears after start-up is the one used.
TEST_F(Updates, TheCaFileIsReadWhenTheFirstCheckStarts)
{
    const QString caFile = QDir(docs.path()).filePath("later.pem");
    updates.caFile = caFile;
    serve("1.16.0.0");
    start({});
    ASSERT_TRUE(QFile::copy(server.caFile(), caFile));
    trigger("menuCheckForUpdates");
    ASSERT_TRUE(waitFor([&] { return windowShown(); })) << prompt.messages.join(" | ").toStdString();
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join(" | ").toStdString();
    EXPECT_EQ(server.requested.size(), 1);
}

} // namespace

#include "updates_test.moc"
