#include "support/prompt.h"
#include "support/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

using namespace vadrelon;

namespace {

// Records every message; the settings never ask questions or open dialogs.
class RecordingPrompt : public Prompt {
public:
    void message(const QString &text) override { messages << text; }
    bool askYesNo(const QString &) override { return false; }
    QString openFileName(const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &) override { return {}; }
    QStringList messages;
};

class SettingsTest : public ::testing::Test {
protected:
    QString documents() const { return temp.path(); }
    QString product(const QString &file) const { return QDir(store.productFolder()).filePath(file); }
    QString maker(const QString &file) const { return QDir(store.makerFolder()).filePath(file); }

    void makeFolders()
    {
        ASSERT_TRUE(store.ensureFolder(SettingsStore::MakerFolderName));
        ASSERT_TRUE(store.ensureSubfolder(SettingsStore::MakerFolderName, SettingsStore::ProductFolderName));
    }

    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir temp;
    RecordingPrompt prompt;
    SettingsStore store{prompt, temp.path()};
};

TEST_F(SettingsTest, FirstStartCreatesFoldersAndBothFilesWithYes)
{
    // A new account may not even have its documents folder yet.
    SettingsStore fresh(prompt, QDir(documents()).filePath("Documents"));
    ASSERT_TRUE(fresh.ensureFolder("NEROV"));
    ASSERT_TRUE(fresh.ensureSubfolder("NEROV", "Vadrelon MK3"));
    fresh.showUpdateMessage = false; // so that reading "YES" visibly sets it
    fresh.loadYesNoSettings();

    const QDir productDir(QDir(documents()).filePath("Documents/NEROV/Vadrelon MK3"));
    EXPECT_TRUE(productDir.exists());
    EXPECT_EQ(read(productDir.filePath("ShowMessageVersionAtStartup.txt")), "YES");
    EXPECT_EQ(read(productDir.filePath("ReportUSBErrors.txt")), "YES");
    EXPECT_TRUE(fresh.showUpdateMessage);
    EXPECT_TRUE(fresh.reportUsbErrorsSetting);
    EXPECT_EQ(fresh.savedStyleIndex(), 0);
    EXPECT_FALSE(QFileInfo::exists(QDir(documents()).filePath("Documents/NEROV/style.txt")));
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join('\n').toStdString();

    // A second start finds everything in place and changes nothing.
    EXPECT_TRUE(fresh.ensureFolder("NEROV"));
    EXPECT_TRUE(fresh.ensureSubfolder("NEROV", "Vadrelon MK3"));
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(SettingsTest, YesNoFilesMatchExactlyAndKeepTheDefaultOtherwise)
{
    makeFolders();
    struct Case {
        QByteArray content;
        bool show;   // ShowUpdateMessage starts true
        bool report; // ReportUsbErrorsSetting starts false
    };
    const Case cases[] = {
        {"YES", true, true},
        {"NO", false, false},
        {"yes", true, false},
        {"no", true, false},
        {"YES\n", true, false},
        {"YES\r\n", true, false},
        {" NO", true, false},
        {"", true, false},
        {"\xEF\xBB\xBFNO", false, false},        // UTF-8 byte-order mark
        {QByteArray("\xFF\xFEN\0O\0", 6), false, false}, // UTF-16 little-endian mark
        {QByteArray("\xFE\xFF\0Y\0E\0S", 8), true, true}, // UTF-16 big-endian mark
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.content.toHex().toStdString());
        write(product("ShowMessageVersionAtStartup.txt"), c.content);
        write(product("ReportUSBErrors.txt"), c.content);
        SettingsStore s(prompt, documents());
        s.loadYesNoSettings();
        EXPECT_EQ(s.showUpdateMessage, c.show);
        EXPECT_EQ(s.reportUsbErrorsSetting, c.report);
        // An existing file is only read, never rewritten.
        EXPECT_EQ(read(product("ReportUSBErrors.txt")), c.content);
    }
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(SettingsTest, CheckMarkCommandsWriteOnlyAnExistingFile)
{
    makeFolders();
    store.loadYesNoSettings();
    struct Command {
        const char *file;
        std::function<bool(bool)> click;
        bool *field;
    };
    const Command commands[] = {
        {"ReportUSBErrors.txt", [&](bool on) { return store.reportUsbErrorsClicked(on); },
         &store.reportUsbErrorsSetting},
        {"ShowMessageVersionAtStartup.txt", [&](bool on) { return store.showUpdateMessageClicked(on); },
         &store.showUpdateMessage},
    };
    for (const Command &cmd : commands) {
        SCOPED_TRACE(cmd.file);
        EXPECT_TRUE(cmd.click(false));
        EXPECT_FALSE(*cmd.field);
        EXPECT_EQ(read(product(cmd.file)), "NO");
        EXPECT_TRUE(cmd.click(true));
        EXPECT_TRUE(*cmd.field);
        EXPECT_EQ(read(product(cmd.file)), "YES");

        // The user removed the file while the editor runs: nothing is written, nothing changes.
        ASSERT_TRUE(QFile::remove(product(cmd.file)));
        EXPECT_FALSE(cmd.click(false));
        EXPECT_TRUE(*cmd.field);
        EXPECT_FALSE(QFileInfo::exists(product(cmd.file)));
    }
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(SettingsTest, SavedStyleIndexFallsBackToZeroUnlessAWholeNumber)
{
    makeFolders();
    EXPECT_EQ(store.savedStyleIndex(), 0) << "missing file";
    EXPECT_FALSE(QFileInfo::exists(maker("style.txt"))) << "reading must not create it";

    struct Case {
        QByteArray content;
        int index;
    };
    const Case cases[] = {
        {"3", 3}, {"7", 7}, {"9", 9}, {"12", 12}, {"-1", -1},
        {"abc", 0}, {"3\n", 0}, {"3\r\n", 0}, {" 3", 0}, {"", 0}, {"3.0", 0}, {"0x3", 0},
        {"99999999999", 0}, {"\xEF\xBB\xBF" "5", 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.content.toStdString());
        write(maker("style.txt"), c.content);
        EXPECT_EQ(store.savedStyleIndex(), c.index);
    }
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(SettingsTest, WriteStyleIndexReplacesTheFile)
{
    makeFolders();
    write(maker("style.txt"), "garbage that is longer");
    EXPECT_TRUE(store.writeStyleIndex(3));
    EXPECT_EQ(read(maker("style.txt")), "3");
    EXPECT_EQ(store.savedStyleIndex(), 3);
}

TEST_F(SettingsTest, FolderThatCannotBeCreatedIsReportedAndStartUpGoesOn)
{
    // The documents "folder" is a plain file, so nothing can be created below it.
    const QString notAFolder = QDir(documents()).filePath("plain-file");
    write(notAFolder, "x");
    SettingsStore broken(prompt, notAFolder);

    bool made = true;
    EXPECT_NO_THROW(made = broken.ensureFolder("NEROV"));
    EXPECT_FALSE(made);
    EXPECT_NO_THROW(made = broken.ensureSubfolder("NEROV", "Vadrelon MK3"));
    EXPECT_FALSE(made);
    ASSERT_EQ(prompt.messages.size(), 2);
    EXPECT_TRUE(prompt.messages[0].startsWith("Error creating folder: "));
    EXPECT_TRUE(prompt.messages[1].startsWith("Error creating subfolder: "));
    for (const QString &m : prompt.messages)
        EXPECT_GT(m.section(": ", 1).trimmed().size(), 0) << "the system's reason is missing";

    // The files cannot be written either: each failure is said once and the files' default
    // ("YES") is used, as on a first start.
    prompt.messages.clear();
    broken.showUpdateMessage = false;
    EXPECT_NO_THROW(broken.loadYesNoSettings());
    EXPECT_TRUE(broken.showUpdateMessage);
    EXPECT_TRUE(broken.reportUsbErrorsSetting);
    EXPECT_EQ(prompt.messages.size(), 2);
    EXPECT_FALSE(broken.writeStyleIndex(2));
    EXPECT_EQ(prompt.messages.size(), 3);
    EXPECT_TRUE(prompt.messages.last().contains("style.txt")) << prompt.messages.last().toStdString();
}

TEST_F(SettingsTest, SubfolderBlockedByAFileIsReported)
{
    ASSERT_TRUE(store.ensureFolder("NEROV"));
    write(store.productFolder(), "not a folder");
    EXPECT_FALSE(store.ensureSubfolder("NEROV", "Vadrelon MK3"));
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages[0].startsWith("Error creating subfolder: "));
}

TEST_F(SettingsTest, UnreadableFileGivesAMessageAndTheDefault)
{
    makeFolders();
    // A folder where the file should be: it exists but cannot be read as a file.
    ASSERT_TRUE(QDir().mkpath(maker("style.txt")));
    ASSERT_TRUE(QDir().mkpath(product("ReportUSBErrors.txt")));

    EXPECT_EQ(store.savedStyleIndex(), std::nullopt);
    EXPECT_EQ(store.readSettingFile("ReportUSBErrors.txt", "YES"), "YES");
    EXPECT_EQ(prompt.messages.size(), 2);
    for (const QString &m : prompt.messages)
        EXPECT_TRUE(m.startsWith("Error reading file")) << m.toStdString();
}

TEST(DecodeSettingText, Utf8ByDefaultAndInvalidBytesStillGiveText)
{
    EXPECT_EQ(decodeSettingText("Gr\xC3\xB6\xC3\x9F" "e"), QString::fromUtf8("Gr\xC3\xB6\xC3\x9F" "e"));
    // Written by some other tool in an 8-bit code page: not UTF-8, yet the text is kept.
    const QString text = decodeSettingText("Gr\xF6\xDF" "e");
    EXPECT_TRUE(text.startsWith("Gr") && text.endsWith("e")) << text.toStdString();
    EXPECT_GE(text.size(), 4);
}

} // namespace
