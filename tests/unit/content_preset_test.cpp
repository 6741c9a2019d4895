#include "content/algorithmimage.h"
#include "content/preset.h"
#include "support/printers.h"
#include "unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

const PresetValues kValues{0x007FE000, 0x00400000, 0,          0xFFFFFFFF, 0x00400000, 24, 16, 0x00123456,
                           1,          22,         0x00800000, 0x0000ABCD, 0x00010000, 1,  0,  0x7FFFFFFF};

QByteArray lines(const QByteArrayList &l, const QByteArray &end, const QByteArray &last = {})
{
    return l.join(end) + last;
}

QByteArrayList sixteen()
{
    QByteArrayList l;
    for (quint32 v : kValues)
        l << QByteArray::number(v, 16).toUpper().rightJustified(8, '0');
    return l;
}

TEST(PresetFile, IsWrittenIn146ExactBytes)
{
    const QByteArray bytes = writePreset(kValues);
    EXPECT_EQ(bytes.size(), 146);
    EXPECT_EQ(bytes, "\xEF\xBB\xBF" + sixteen().join('\r'));
}

TEST(PresetFile, ReadsBackWhatOtherProgramsMayHaveMadeOfIt)
{
    const QByteArray bom("\xEF\xBB\xBF");
    struct Case {
        const char *name;
        QByteArray bytes;
    };
    QByteArrayList lower = sixteen();
    lower[0] = "007fe000";
    const Case cases[] = {
        {"as written", writePreset(kValues)},
        {"LF", bom + lines(sixteen(), "\n")},
        {"CR LF and a final one", bom + lines(sixteen(), "\r\n", "\r\n")},
        {"no byte-order mark, final LF", lines(sixteen(), "\n", "\n")},
        {"final CR", lines(sixteen(), "\r", "\r")},
        {"lower-case digits", lines(lower, "\r")},
    };
    for (const Case &c : cases) {
        const Result<Preset> got = readPreset(c.bytes);
        ASSERT_TRUE(std::holds_alternative<Preset>(got))
            << c.name << ": " << errorText(std::get<Error>(got)).toStdString();
        EXPECT_EQ(std::get<Preset>(got).values, kValues) << c.name;
    }
}

// The old reader took fields by position, so one odd line shifted all that followed it onto
// the wrong parameters. Anything but the one form is refused, and the reason names the line.
TEST(PresetFile, RefusesAnythingElseNamingTheLine)
{
    QByteArrayList shortLine = sixteen();
    shortLine[2] = "0000000";
    QByteArrayList letters = sixteen();
    letters[4] = "00ZZ0040";
    QByteArrayList lastNotHex = sixteen();
    lastNotHex[6] = "0000000G"; // a reader that checks all but the last character reads 0
    QByteArrayList spaced = sixteen();
    spaced[15] = "7FFFFFFF ";
    QByteArrayList blank = sixteen();
    blank.insert(8, "");
    struct Case {
        const char *name;
        QByteArray bytes;
        const char *reason;
    };
    const Case cases[] = {
        {"empty", "", "the file is empty, and a preset has 16 lines"},
        {"only a byte-order mark", "\xEF\xBB\xBF", "the file is empty, and a preset has 16 lines"},
        {"fifteen lines", lines(sixteen().mid(0, 15), "\r"), "it ends after line 15, and a preset has 16 lines"},
        {"seventeen lines", lines(sixteen() << "00000000", "\r"),
         "it goes on after line 16, and a preset has 16 lines"},
        {"two final line breaks", lines(sixteen(), "\n", "\n\n"),
         "it goes on after line 16, and a preset has 16 lines"},
        {"a short line", lines(shortLine, "\r"), "line 3 is \"0000000\", not eight hex digits"},
        {"a letter that is no digit", lines(letters, "\r"), "line 5 is \"00ZZ0040\", not eight hex digits"},
        {"a last character that is no digit", lines(lastNotHex, "\r"), "line 7 is \"0000000G\", not eight hex digits"},
        {"a trailing blank", lines(spaced, "\r"), "line 16 is \"7FFFFFFF \", not eight hex digits"},
        {"a blank line", lines(blank, "\r\n"), "line 9 is \"\", not eight hex digits"},
        {"a sign", lines(QByteArrayList{"+0000001"} + sixteen().mid(1), "\r"),
         "line 1 is \"+0000001\", not eight hex digits"},
        {"binary", QByteArray("\x00\x01\x02garbage-and-more", 19), "line 1 is \"???garbage-a…\", not eight hex digits"},
    };
    for (const Case &c : cases) {
        const Result<Preset> got = readPreset(c.bytes);
        ASSERT_TRUE(std::holds_alternative<Error>(got)) << c.name;
        EXPECT_EQ(std::get<Error>(got), (Error{ErrorCode::PresetNotLoaded, c.reason})) << c.name;
    }
}

TEST(PresetFile, LoadTraceGivesEachKeyAndItsLine)
{
    QByteArrayList l = sixteen();
    l[0] = "007fe000";
    const Preset preset = std::get<Preset>(readPreset(lines(l, "\n")));
    const QStringList trace = presetLoadTrace(preset);
    ASSERT_EQ(trace.size(), 16);
    EXPECT_EQ(trace.first(), "Dry: 007fe000");
    EXPECT_EQ(trace[10], "input_level: 00800000");
    EXPECT_EQ(trace.last(), "DryHPF: 7FFFFFFF");
}

TEST(PresetFile, NameGetsItsExtensionUnlessItEndsInExactlyThat)
{
    const std::pair<const char *, const char *> cases[] = {
        {"/p/live", "/p/live.txt"},
        {"/p/live.txt", "/p/live.txt"},
        {"/p/live.TXT", "/p/live.TXT.txt"},
        {"/p/live.text", "/p/live.text.txt"},
    };
    for (const auto &[chosen, saved] : cases)
        EXPECT_EQ(presetFileName(chosen), saved);
}

// A failed write must leave the preset that was there whole.
TEST(PresetFile, AFailedSaveLeavesTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("kept.txt");
    ASSERT_FALSE(savePresetFile(path, kValues));
    PresetValues other = kValues;
    other[0] = 1;
    // A folder the user may read but not write in: nothing new can be made there.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    std::optional<Error> error;
    {
        const test::AsAnotherUser user;
        error = savePresetFile(path, other);
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, ErrorCode::PresetNotSaved);
    EXPECT_TRUE(error->detail.contains("kept.txt"));
    EXPECT_EQ(std::get<Preset>(loadPresetFile(path)).values, kValues);
}

TEST(PresetFile, LoadingNamesTheFileInItsReason)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.txt");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("hello");
    f.close();
    const Result<Preset> got = loadPresetFile(path);
    ASSERT_TRUE(std::holds_alternative<Error>(got));
    EXPECT_EQ(errorText(std::get<Error>(got)),
              QStringLiteral("Error loading file: \"%1\": line 1 is \"hello\", not eight hex digits")
                  .arg(QDir::toNativeSeparators(path)));
    EXPECT_TRUE(std::holds_alternative<Error>(loadPresetFile(dir.filePath("missing.txt"))));
    EXPECT_TRUE(std::holds_alternative<Error>(loadPresetFile(dir.path()))) << "a folder";
}

// Before the pedal is bypassed, a file that cannot be an image is refused.
TEST(AlgorithmFile, IsCheckedBeforeAnythingIsSent)
{
    QByteArray good(4512, '\0');
    good[0] = 0x00;
    good[1] = char(0x11);
    good[2] = char(0xA0);
    QByteArray wrongLength = good;
    wrongLength[2] = char(0xA1);
    struct Case {
        const char *name;
        QByteArray bytes;
        std::optional<QString> reason;
    };
    const Case cases[] = {
        {"whole", good, std::nullopt},
        {"empty", {}, "the file is empty"},
        {"two bytes", QByteArray(2, '\0'), "the file has only 2 bytes"},
        {"length field one more", wrongLength, "its length field says 4513 bytes, but the file has 4512"},
        {"65537 bytes", QByteArray(65537, '\0'), "the file has 65537 bytes, more than the 65536 an image may have"},
    };
    for (const Case &c : cases) {
        const Result<QByteArray> got = checkAlgorithmFile(c.bytes);
        if (!c.reason) {
            EXPECT_TRUE(std::holds_alternative<QByteArray>(got)) << c.name;
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<Error>(got)) << c.name;
        EXPECT_EQ(std::get<Error>(got), (Error{ErrorCode::BadImage, *c.reason})) << c.name;
    }
}

} // namespace
