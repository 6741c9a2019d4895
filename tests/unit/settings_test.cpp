#include "support/printers.h"
#include "support/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vadrelon;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    QString documents() const { return temp.path(); }
    QString product(const QString &file) const { return QDir(store.productFolder()).filePath(file); }
    QString maker(const QString &file) const { return QDir(store.makerFolder()).filePath(file); }

    void makeFolders()
    {
        ASSERT_EQ(store.ensureFolder(SettingsStore::MakerFolderName), std::nullopt);
        ASSERT_EQ(store.ensureSubfolder(SettingsStore::MakerFolderName, SettingsStore::ProductFolderName),
                  std::nullopt);
    }

    // A failure to read or write the file at path, as the user reads it: the file in quotes,
    // then the system's reason.
    static void expectFileError(const std::optional<Error> &error, ErrorCode code, const QString &path)
    {
        ASSERT_TRUE(error) << path.toStdString();
        EXPECT_EQ(error->code, code);
        const QString verb = code == ErrorCode::FileNotRead ? "reading" : "writing";
        const QString head = QStringLiteral("Error %1 file \"%2\": ").arg(verb, QDir::toNativeSeparators(path));
        const QString text = errorText(*error);
        EXPECT_TRUE(text.startsWith(head)) << text.toStdString();
        EXPECT_GT(text.mid(head.size()).trimmed().size(), 0) << "the system's reason is missing";
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
    SettingsStore store{temp.path()};
};

TEST_F(SettingsTest, FirstStartCreatesFoldersAndBothFilesWithYes)
{
    // A new account may not even have its documents folder yet.
    SettingsStore fresh(QDir(documents()).filePath("Documents"));
    ASSERT_EQ(fresh.ensureFolder("NEROV"), std::nullopt);
    ASSERT_EQ(fresh.ensureSubfolder("NEROV", "Vadrelon MK3"), std::nullopt);
    fresh.showUpdateMessage = false; // so that reading "YES" visibly sets it
    EXPECT_EQ(fresh.loadYesNoSettings(), QList<Error>());

    const QDir productDir(QDir(documents()).filePath("Documents/NEROV/Vadrelon MK3"));
    EXPECT_TRUE(productDir.exists());
    EXPECT_EQ(read(productDir.filePath("ShowMessageVersionAtStartup.txt")), "YES");
    EXPECT_EQ(read(productDir.filePath("ReportUSBErrors.txt")), "YES");
    EXPECT_TRUE(fresh.showUpdateMessage);
    EXPECT_TRUE(fresh.reportUsbErrorsSetting);
    EXPECT_EQ(fresh.savedStyleIndex(), Result<int>(0));
    EXPECT_FALSE(QFileInfo::exists(QDir(documents()).filePath("Documents/NEROV/style.txt")));

    // A second start finds everything in place and changes nothing.
    EXPECT_EQ(fresh.ensureFolder("NEROV"), std::nullopt);
    EXPECT_EQ(fresh.ensureSubfolder("NEROV", "Vadrelon MK3"), std::nullopt);
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
        {"\xEF\xBB\xBFNO", false, false},                 // UTF-8 byte-order mark
        {QByteArray("\xFF\xFEN\0O\0", 6), false, false},  // UTF-16 little-endian mark
        {QByteArray("\xFE\xFF\0Y\0E\0S", 8), true, true}, // UTF-16 big-endian mark
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.content.toHex().toStdString());
        write(product("ShowMessageVersionAtStartup.txt"), c.content);
        write(product("ReportUSBErrors.txt"), c.content);
        SettingsStore s(documents());
        EXPECT_EQ(s.loadYesNoSettings(), QList<Error>());
        EXPECT_EQ(s.showUpdateMessage, c.show);
        EXPECT_EQ(s.reportUsbErrorsSetting, c.report);
        // An existing file is only read, never rewritten.
        EXPECT_EQ(read(product("ReportUSBErrors.txt")), c.content);
    }
}

TEST_F(SettingsTest, CheckMarkCommandsWriteOnlyAnExistingFile)
{
    makeFolders();
    ASSERT_EQ(store.loadYesNoSettings(), QList<Error>());
    struct Command {
        const char *file;
        std::function<std::optional<Error>(bool)> click;
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
        EXPECT_EQ(cmd.click(false), std::nullopt);
        EXPECT_FALSE(*cmd.field);
        EXPECT_EQ(read(product(cmd.file)), "NO");
        EXPECT_EQ(cmd.click(true), std::nullopt);
        EXPECT_TRUE(*cmd.field);
        EXPECT_EQ(read(product(cmd.file)), "YES");

        // The user removed the file while the editor runs: nothing is written, nothing changes,
        // and opting out is no failure.
        ASSERT_TRUE(QFile::remove(product(cmd.file)));
        EXPECT_EQ(cmd.click(false), std::nullopt);
        EXPECT_TRUE(*cmd.field);
        EXPECT_FALSE(QFileInfo::exists(product(cmd.file)));

        // A file that is there but cannot be replaced: the check mark still counts.
        ASSERT_TRUE(QDir().mkpath(product(cmd.file)));
        expectFileError(cmd.click(false), ErrorCode::FileNotWritten, product(cmd.file));
        EXPECT_FALSE(*cmd.field);
    }
}

TEST_F(SettingsTest, SavedStyleIndexFallsBackToZeroUnlessAWholeNumber)
{
    makeFolders();
    EXPECT_EQ(store.savedStyleIndex(), Result<int>(0)) << "missing file";
    EXPECT_FALSE(QFileInfo::exists(maker("style.txt"))) << "reading must not create it";

    struct Case {
        QByteArray content;
        int index;
    };
    const Case cases[] = {
        {"3", 3},
        {"7", 7},
        {"9", 9},
        {"12", 12},
        {"-1", -1},
        {"abc", 0},
        {"3\n", 0},
        {"3\r\n", 0},
        {" 3", 0},
        {"", 0},
        {"3.0", 0},
        {"0x3", 0},
        {"99999999999", 0},
        {"\xEF\xBB\xBF"
         "5",
         5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.content.toStdString());
        write(maker("style.txt"), c.content);
        EXPECT_EQ(store.savedStyleIndex(), Result<int>(c.index));
    }
}

TEST_F(SettingsTest, WriteStyleIndexReplacesTheFile)
{
    makeFolders();
    write(maker("style.txt"), "garbage that is longer");
    EXPECT_EQ(store.writeStyleIndex(3), std::nullopt);
    EXPECT_EQ(read(maker("style.txt")), "3");
    EXPECT_EQ(store.savedStyleIndex(), Result<int>(3));
}

TEST_F(SettingsTest, FolderThatCannotBeCreatedIsReportedAndStartUpGoesOn)
{
    // The documents "folder" is a plain file, so nothing can be created below it.
    const QString notAFolder = QDir(documents()).filePath("plain-file");
    write(notAFolder, "x");
    SettingsStore broken(notAFolder);

    std::optional<Error> folder, subfolder;
    EXPECT_NO_THROW(folder = broken.ensureFolder("NEROV"));
    EXPECT_NO_THROW(subfolder = broken.ensureSubfolder("NEROV", "Vadrelon MK3"));
    ASSERT_TRUE(folder && subfolder);
    EXPECT_EQ(folder->code, ErrorCode::FolderNotCreated);
    EXPECT_EQ(subfolder->code, ErrorCode::SubfolderNotCreated);
    EXPECT_EQ(errorText(*folder), "Error creating folder: " + folder->detail);
    EXPECT_EQ(errorText(*subfolder), "Error creating subfolder: " + subfolder->detail);
    for (const Error &e : {*folder, *subfolder})
        EXPECT_GT(e.detail.trimmed().size(), 0) << "the system's reason is missing";

    // The files cannot be written either: each failure is given once, in the order the files
    // are read, and the files' default ("YES") is used, as on a first start.
    broken.showUpdateMessage = false;
    QList<Error> failures;
    EXPECT_NO_THROW(failures = broken.loadYesNoSettings());
    EXPECT_TRUE(broken.showUpdateMessage);
    EXPECT_TRUE(broken.reportUsbErrorsSetting);
    ASSERT_EQ(failures.size(), 2);
    const QDir product(broken.productFolder());
    expectFileError(failures[0], ErrorCode::FileNotWritten, product.filePath("ShowMessageVersionAtStartup.txt"));
    expectFileError(failures[1], ErrorCode::FileNotWritten, product.filePath("ReportUSBErrors.txt"));
    expectFileError(broken.writeStyleIndex(2), ErrorCode::FileNotWritten,
                    QDir(broken.makerFolder()).filePath("style.txt"));
}

TEST_F(SettingsTest, SubfolderBlockedByAFileIsReported)
{
    ASSERT_EQ(store.ensureFolder("NEROV"), std::nullopt);
    write(store.productFolder(), "not a folder");
    const std::optional<Error> error = store.ensureSubfolder("NEROV", "Vadrelon MK3");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, ErrorCode::SubfolderNotCreated);
    EXPECT_EQ(errorText(*error), "Error creating subfolder: " + error->detail);
}

TEST_F(SettingsTest, UnreadableFileGivesAnErrorAndTheDefault)
{
    makeFolders();
    // A folder where the file should be: it exists but cannot be read as a file.
    ASSERT_TRUE(QDir().mkpath(maker("style.txt")));
    ASSERT_TRUE(QDir().mkpath(product("ReportUSBErrors.txt")));

    const Result<int> style = store.savedStyleIndex();
    ASSERT_TRUE(std::holds_alternative<Error>(style));
    expectFileError(std::get<Error>(style), ErrorCode::FileNotRead, maker("style.txt"));
    const Result<QString> report = store.readSettingFile("ReportUSBErrors.txt", "YES");
    ASSERT_TRUE(std::holds_alternative<Error>(report));
    expectFileError(std::get<Error>(report), ErrorCode::FileNotRead, product("ReportUSBErrors.txt"));

    ASSERT_FALSE(store.reportUsbErrorsSetting);
    const QList<Error> failures = store.loadYesNoSettings();
    EXPECT_EQ(failures, QList<Error>{std::get<Error>(report)});
    EXPECT_TRUE(store.reportUsbErrorsSetting) << "the default, YES";
}

// Whatever stands in a settings file's place, start-up reads on at once: a file that is no
// regular file, or larger than a setting ever is, is refused as an unreadable one is.
TEST_F(SettingsTest, WhatIsNoSettingsFileIsRefusedAtOnce)
{
    makeFolders();
    struct Case {
        const char *name;
        std::function<void(const QString &)> make;
        const char *reason;
    };
    const Case cases[] = {
        {"a named pipe", [](const QString &at) { ASSERT_EQ(::mkfifo(QFile::encodeName(at).constData(), 0600), 0); },
         "named pipe"},
        {"a link to /dev/zero", [](const QString &at) { ASSERT_TRUE(QFile::link("/dev/zero", at)); }, "device"},
        {"a file of 10 MB",
         [](const QString &at) {
             QFile f(at);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(10 * 1024 * 1024));
         },
         "larger than"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString style = maker("style.txt");
        const QString report = product("ReportUSBErrors.txt");
        for (const QString &at : {style, report}) {
            QFile::remove(at);
            c.make(at);
        }
        SettingsStore s(documents());
        // On a thread of its own, so that a read that blocks fails the test instead of hanging
        // it; a writer that comes and goes sets a pipe's reader free.
        auto read =
            std::async(std::launch::async, [&] { return std::pair(s.savedStyleIndex(), s.loadYesNoSettings()); });
        if (read.wait_for(std::chrono::seconds(2)) == std::future_status::timeout) {
            ADD_FAILURE() << "the read blocked";
            while (read.wait_for(std::chrono::milliseconds(50)) == std::future_status::timeout) {
                for (const QString &at : {style, report}) {
                    const int writer = ::open(QFile::encodeName(at).constData(), O_WRONLY | O_NONBLOCK);
                    if (writer >= 0)
                        ::close(writer);
                }
            }
        }
        const auto [index, failures] = read.get();
        if (const Error *failure = std::get_if<Error>(&index)) {
            expectFileError(*failure, ErrorCode::FileNotRead, style);
            EXPECT_TRUE(failure->detail.contains(c.reason)) << failure->detail.toStdString();
        } else {
            ADD_FAILURE() << "style.txt was read";
        }
        EXPECT_EQ(failures.size(), 1);
        if (!failures.isEmpty())
            expectFileError(failures[0], ErrorCode::FileNotRead, report);
        EXPECT_TRUE(s.reportUsbErrorsSetting) << "the default, YES";
    }
}

TEST(DecodeSettingText, Utf8ByDefaultAndInvalidBytesStillGiveText)
{
    EXPECT_EQ(decodeSettingText("Gr\xC3\xB6\xC3\x9F"
                                "e"),
              QString::fromUtf8("Gr\xC3\xB6\xC3\x9F"
                                "e"));
    // Written by some other tool in an 8-bit code page: not UTF-8, yet the text is kept.
    const QString text = decodeSettingText("Gr\xF6\xDF"
                                           "e");
    EXPECT_TRUE(text.startsWith("Gr") && text.endsWith("e")) << text.toStdString();
    EXPECT_GE(text.size(), 4);
}

} // namespace
