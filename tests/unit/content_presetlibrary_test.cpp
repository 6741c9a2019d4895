// The preset library over real folders: what it lists, how notes follow their presets, and a
// folder where anything stands.
#include "content/presetlibrary.h"
#include "support/printers.h"
#include "unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vadrelon;

namespace {

PresetValues valuesWith(quint32 dry)
{
    PresetValues v{};
    v[ParDry] = dry;
    return v;
}

class Library : public ::testing::Test {
public:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
        qputenv("XDG_DATA_HOME", QFile::encodeName(trash.path()));
    }
    QString at(const QString &relative) const { return QDir(dir.path()).filePath(relative); }
    void write(const QString &relative, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(at(relative)).absolutePath());
        QFile f(at(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    void preset(const QString &relative, quint32 dry = 0) { write(relative, writePreset(valuesWith(dry))); }
    QStringList keys(const PresetLibrary &library)
    {
        QStringList out;
        for (const LibraryPreset &p : library.presets())
            out << p.key();
        return out;
    }
    const LibraryPreset &named(const PresetLibrary &library, const QString &key)
    {
        return library.presets()[*library.find(key)];
    }

    QTemporaryDir dir;
    QTemporaryDir trash;
};

TEST_F(Library, ListsPresetsByNameWithBanksAsGroups)
{
    preset("Fat sub.txt");
    preset("clean.TXT");
    preset("Live/Room.txt");
    preset("Live/.hidden.txt");
    write("notes.md", "not a preset");
    write("library.json", R"({"notes": {"Fat sub": "low and round", "Live/Room": "for the small stage"}})");
    QDir().mkpath(at("Empty"));
    PresetLibrary library(dir.path());
    library.refresh();
    EXPECT_EQ(keys(library), QStringList({"clean", "Fat sub", "Live/Room"}));
    EXPECT_EQ(library.banks(), QStringList({"Empty", "Live"}));
    EXPECT_EQ(named(library, "Fat sub").note, "low and round");
    EXPECT_EQ(named(library, "Live/Room").note, "for the small stage");
    EXPECT_EQ(named(library, "Live/Room").path, at("Live/Room.txt"));
    EXPECT_TRUE(named(library, "clean").values.has_value());
    EXPECT_EQ(library.find(at("Live/Room.txt")), library.find("Live/Room"));
}

TEST_F(Library, TheFilterMatchesNamesAndNotesInAnyCase)
{
    LibraryPreset p;
    p.name = "Fat sub";
    p.note = "Low and ROUND";
    struct Case {
        const char *text;
        bool match;
    };
    for (const Case c :
         {Case{"", true}, Case{"fat", true}, Case{"round", true}, Case{"  SUB ", true}, Case{"thin", false}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(PresetLibrary::matches(p, c.text), c.match);
    }
}

TEST_F(Library, FindsThePresetThePedalHolds)
{
    preset("a.txt", 1);
    preset("b.txt", 2);
    PresetLibrary library(dir.path());
    library.refresh();
    EXPECT_EQ(library.holding(valuesWith(2)), library.find("b"));
    EXPECT_EQ(library.holding(valuesWith(3)), std::nullopt);
}

// A note goes where its preset goes: renamed and moved with it, copied with it, dropped with it.
TEST_F(Library, NotesFollowTheirPresets)
{
    preset("Fat sub.txt", 7);
    PresetLibrary library(dir.path());
    library.refresh();
    ASSERT_EQ(library.setNote("Fat sub", "low and round"), std::nullopt);

    const Result<QString> renamed = library.rename(named(library, "Fat sub"), "Fatter sub");
    ASSERT_TRUE(std::holds_alternative<QString>(renamed)) << errorText(std::get<Error>(renamed)).toStdString();
    EXPECT_EQ(keys(library), QStringList({"Fatter sub"}));
    EXPECT_EQ(named(library, "Fatter sub").note, "low and round");

    ASSERT_EQ(library.makeBank("Live"), std::nullopt);
    ASSERT_TRUE(std::holds_alternative<QString>(library.moveToBank(named(library, "Fatter sub"), "Live")));
    EXPECT_EQ(named(library, "Live/Fatter sub").note, "low and round");
    ASSERT_TRUE(std::holds_alternative<QString>(library.moveToBank(named(library, "Live/Fatter sub"), "")));
    EXPECT_EQ(std::get<Error>(library.moveToBank(named(library, "Fatter sub"), "Nowhere")).code, ErrorCode::BadInput);

    const Result<QString> copy = library.duplicate(named(library, "Fatter sub"));
    ASSERT_TRUE(std::holds_alternative<QString>(copy));
    EXPECT_EQ(keys(library), QStringList({"Fatter sub", "Fatter sub copy"}));
    EXPECT_EQ(named(library, "Fatter sub copy").note, "low and round");
    EXPECT_EQ(named(library, "Fatter sub copy").values, valuesWith(7));

    ASSERT_EQ(library.moveToTrash(named(library, "Fatter sub")), std::nullopt);
    EXPECT_EQ(keys(library), QStringList({"Fatter sub copy"}));
    EXPECT_TRUE(QFile::exists(QDir(trash.path()).filePath("Trash/files/Fatter sub.txt")));

    PresetLibrary again(dir.path()); // what was written, read back
    again.refresh();
    EXPECT_EQ(named(again, "Fatter sub copy").note, "low and round");
    QFile notes(at("library.json"));
    ASSERT_TRUE(notes.open(QIODevice::ReadOnly));
    EXPECT_FALSE(notes.readAll().contains("\"Fatter sub\"")) << "the deleted preset's note is gone";
}

TEST_F(Library, NamesThatAreNoPlainFileNamesAreRefusedAndNothingIsReplaced)
{
    preset("a.txt");
    preset("b.txt");
    PresetLibrary library(dir.path());
    library.refresh();
    for (const char *bad : {"", " a", "../x", "x/y", ".hidden", "tab\there"}) {
        SCOPED_TRACE(bad);
        const Result<QString> r = library.rename(named(library, "a"), QString::fromUtf8(bad));
        ASSERT_TRUE(std::holds_alternative<Error>(r));
        EXPECT_EQ(std::get<Error>(r).code, ErrorCode::BadInput);
    }
    const Result<QString> onto = library.rename(named(library, "a"), "b");
    ASSERT_TRUE(std::holds_alternative<Error>(onto));
    EXPECT_EQ(std::get<Error>(onto).code, ErrorCode::FileInTheWay);
    EXPECT_EQ(keys(library), QStringList({"a", "b"}));
}

// A notes file the editor cannot read is never replaced by one without its notes.
TEST_F(Library, AnUnreadableNotesFileIsLeftAsItIs)
{
    preset("a.txt");
    write("library.json", "{ broken");
    PresetLibrary library(dir.path());
    library.refresh();
    ASSERT_TRUE(library.notesProblem().has_value());
    EXPECT_TRUE(library.setNote("a", "x").has_value());
    QFile notes(at("library.json"));
    ASSERT_TRUE(notes.open(QIODevice::ReadOnly));
    EXPECT_EQ(notes.readAll(), "{ broken");
}

TEST_F(Library, ImportTakesGoodFilesAndRefusesABadOneByItsLine)
{
    QTemporaryDir outside;
    const QString good = QDir(outside.path()).filePath("Good.txt");
    const QString bad = QDir(outside.path()).filePath("Bad.txt");
    {
        QFile g(good), b(bad);
        ASSERT_TRUE(g.open(QIODevice::WriteOnly) && b.open(QIODevice::WriteOnly));
        g.write(writePreset(valuesWith(5)));
        b.write(writePreset(valuesWith(5)).replace("00000005", "0000000G"));
    }
    PresetLibrary library(dir.path());
    library.refresh();
    const Result<QString> in = library.import(good, QString(), false);
    ASSERT_TRUE(std::holds_alternative<QString>(in));
    const Result<QString> refused = library.import(bad, QString(), false);
    ASSERT_TRUE(std::holds_alternative<Error>(refused));
    EXPECT_TRUE(std::get<Error>(refused).detail.contains("line 1")) << std::get<Error>(refused).detail.toStdString();
    EXPECT_EQ(keys(library), QStringList({"Good"}));
    EXPECT_EQ(std::get<Error>(library.import(good, QString(), false)).code, ErrorCode::FileInTheWay);

    const Result<QString> out = library.exportTo(named(library, "Good"), outside.path(), false);
    EXPECT_EQ(std::get<Error>(out).code, ErrorCode::FileInTheWay) << "never over a file without asking";
}

// Whatever stands in the folder, the list comes back, each thing that is no preset marked
// unreadable with the reason; nothing blocks and nothing is read beyond a preset's size.
TEST_F(Library, AHostileFolderIsListedWithoutHangingOrReadingTooMuch)
{
    preset("good.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(at("fifo.txt")).constData(), 0644), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", at("device.txt")));
    ASSERT_TRUE(QFile::link(at("loop.txt"), at("loop.txt")));
    ASSERT_TRUE(QFile::link(dir.path(), at("bank link"))); // a folder link back to the library
    write("big.txt", QByteArray(10 * 1024 * 1024, '0'));
    preset("secret.txt");
    ::chmod(QFile::encodeName(at("secret.txt")).constData(), 0);
    write(QString::fromUtf8("caf\xC3\xA9 \xE2\x99\xAB.txt"), writePreset(valuesWith(1)));
    for (int i = 0; i < 1000; ++i)
        preset(QStringLiteral("many/p%1.txt").arg(i, 4, 10, QLatin1Char('0')), static_cast<quint32>(i));

    PresetLibrary library(dir.path());
    {
        const test::AsAnotherUser nobody; // file permissions hold, as for a player
        library.refresh();
    }
    EXPECT_EQ(library.banks(), QStringList({"many"})) << "a link is never followed into a folder";
    EXPECT_EQ(library.presets().size(), 1007);
    for (const char *unreadable : {"fifo", "device", "loop", "big", "secret"}) {
        SCOPED_TRACE(unreadable);
        const LibraryPreset &p = named(library, unreadable);
        EXPECT_FALSE(p.values.has_value());
        EXPECT_FALSE(p.problem.isEmpty());
    }
    EXPECT_TRUE(named(library, "good").values.has_value());
    EXPECT_TRUE(named(library, QString::fromUtf8("caf\xC3\xA9 \xE2\x99\xAB")).values.has_value());
    EXPECT_EQ(named(library, "many/p0999").values, valuesWith(999));
}

} // namespace
