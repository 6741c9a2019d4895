// The preset library window, worked from the keyboard as a player works it, against the
// in-process pedal: what it lists, what reaches the pedal, and what happens to the files.
#include "editorfixture.h"

#include "content/preset.h"
#include "effect/parameters.h"
#include "ui/editor.h"
#include "ui/effectwindow.h"
#include "ui/librarywindow.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

using namespace vadrelon;

class LibraryTest : public test::EditorFixture {
public:
    void SetUp() override
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(trash.path()));
        pedal.state().parameters[ParDry] = 0x100000;
        pedal.state().parameters[ParSubMix] = 0x200000;
    }
    QString folder() const { return docs.filePath("NEROV/Vadrelon MK3/Preset"); }
    QString at(const QString &relative) const { return QDir(folder()).filePath(relative); }
    // A preset of the pedal's own values with Dry (and Sub Mix) changed.
    void preset(const QString &relative, quint32 dry, quint32 subMix = 0x200000)
    {
        PresetValues v{};
        for (int i = 0; i < kParameterCount; ++i)
            v[static_cast<size_t>(i)] = pedal.state().parameters[i];
        v[ParDry] = dry;
        v[ParSubMix] = subMix;
        QDir().mkpath(QFileInfo(at(relative)).absolutePath());
        QFile f(at(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(writePreset(v));
    }
    void open()
    {
        start({&pedal});
        linkAndClear();
        trigger("menuPresetLibrary");
        ASSERT_TRUE(waitFor([&] { return list() && list()->isVisible(); }));
        list()->window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(list()->window()));
    }
    QTreeWidget *list() { return find<QTreeWidget>("lstLibrary"); }
    QStringList shown()
    {
        QStringList out;
        for (QTreeWidgetItemIterator it(list(), QTreeWidgetItemIterator::NotHidden); *it; ++it)
            out << (*it)->text(0);
        return out;
    }
    bool select(const QString &key)
    {
        auto *w = qobject_cast<LibraryWindow *>(list()->window());
        return w && w->select(key);
    }
    QString current() { return list()->currentItem() ? list()->currentItem()->text(0) : QString(); }
    QAction *libraryAction(const char *name)
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *found = top->findChild<QAction *>(QString::fromLatin1(name)))
                return found;
        ADD_FAILURE() << "no action " << name;
        return nullptr;
    }

    QTemporaryDir trash;
};

// A player finds "Fat sub" by typing, loads it with Enter: only the values it changes go out,
// it is marked as the one the pedal holds, and the load is one undo step.
TEST_F(LibraryTest, TypingFindsAPresetAndEnterLoadsIt)
{
    preset("Clean.txt", 0x100000);
    preset("Fat sub.txt", 0x7FE000);
    preset("Live/Room.txt", 0x300000, 0x300000);
    open();
    EXPECT_EQ(shown(), QStringList({"● Clean", "Fat sub", "Live", "Room"})) << "Clean is what the pedal holds";

    QTest::keyClicks(find<QLineEdit>("edtLibraryFilter"), "fat");
    EXPECT_EQ(shown(), QStringList({"Fat sub"}));
    EXPECT_EQ(current(), "Fat sub");
    QTest::keyClick(list(), Qt::Key_Return);
    ASSERT_TRUE(settle());
    EXPECT_EQ(sent(), QStringList({"01 00 25 00 7F E0 00"})) << "Dry alone: Sub Mix did not change";
    EXPECT_EQ(pedal.state().parameters[ParDry], 0x7FE000u);
    EXPECT_EQ(current(), "● Fat sub");
    EXPECT_EQ(find<QLabel>("lblLibraryStatus")->text(), "Loaded “Fat sub” into the pedal.");
    EXPECT_TRUE(prompt.messages.isEmpty()) << "no box to close between sounds";
    EXPECT_EQ(editor->windows.history().undoAction()->text(), "Undo Load Preset Fat sub");
    EXPECT_TRUE(fx().actions().contains(action("menuPresetLibrary"))) << "the effect window offers the library";
}

// With Audition on, the arrow keys step through the sounds; steps taken during another
// exchange are loaded after it, the last one only, and the pedal ends on the preset selected.
TEST_F(LibraryTest, AuditionStepsThroughPresetsWithTheArrowKeys)
{
    preset("a.txt", 0x100000, 0x100000);
    preset("b.txt", 0x200000, 0x200000);
    preset("c.txt", 0x300000, 0x300000);
    preset("d.txt", 0x400000, 0x400000);
    open();
    find<QCheckBox>("chkAudition")->setChecked(true);
    ASSERT_EQ(current(), "a");
    QTest::keyClick(list(), Qt::Key_Down);
    ASSERT_TRUE(settle());
    EXPECT_EQ(sent(), QStringList({"01 00 25 00 20 00 00"})) << "b's Sub Mix is the pedal's already";
    pedal.clearReceived();
    pedal.faults().answerDelayMs = 120; // within the request's bound, which runs at a tenth
    click("btnRequest");
    ASSERT_TRUE(editor->session.link().busy());
    QTest::keyClick(list(), Qt::Key_Down);
    QTest::keyClick(list(), Qt::Key_Down);
    EXPECT_EQ(pedal.state().parameters[ParDry], 0x200000u) << "nothing between the request's bytes";
    ASSERT_TRUE(waitFor([&] { return pedal.state().parameters[ParDry] == 0x400000u; }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(sent(), QStringList({"02 00", "01 00 25 00 40 00 00", "01 00 ED 00 40 00 00"}))
        << "c was passed over, and d sent only what it changes";
    EXPECT_EQ(current(), "● d");

    // Only the player's own steps audition: a note written (the folder changes and the list is
    // read again) or a filter typed moves nothing to the pedal.
    pedal.clearReceived();
    QLineEdit *note = find<QLineEdit>("edtLibraryNote");
    note->setText("the last one");
    emit note->editingFinished();
    QTest::qWait(500);
    QTest::keyClicks(find<QLineEdit>("edtLibraryFilter"), "b");
    ASSERT_EQ(current(), "b");
    QTest::qWait(100);
    ASSERT_TRUE(settle());
    EXPECT_EQ(sent(), QStringList());
}

// Renamed, duplicated and deleted to the trash from the keyboard; a note written follows the
// preset through a rename and lands in the sidecar file, never in the preset.
TEST_F(LibraryTest, OrganisingKeepsFilesAndNotesTogether)
{
    preset("Fat sub.txt", 0x7FE000);
    open();
    list()->setFocus();
    QLineEdit *note = find<QLineEdit>("edtLibraryNote");
    note->setText("low and round");
    emit note->editingFinished();

    prompt.texts = {QString("Fatter sub")};
    QTest::keyClick(list(), Qt::Key_F2);
    EXPECT_TRUE(QFile::exists(at("Fatter sub.txt")));
    EXPECT_FALSE(QFile::exists(at("Fat sub.txt")));
    EXPECT_EQ(current(), "Fatter sub");
    EXPECT_EQ(note->text(), "low and round");
    EXPECT_EQ(QFileInfo(at("Fatter sub.txt")).size(), 146) << "the preset keeps its format";

    libraryAction("actLibraryDuplicate")->trigger();
    EXPECT_TRUE(QFile::exists(at("Fatter sub copy.txt")));

    prompt.answers = {false, true};
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_TRUE(QFile::exists(at("Fatter sub copy.txt"))) << "No keeps it";
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_FALSE(QFile::exists(at("Fatter sub copy.txt")));
    EXPECT_TRUE(QFile::exists(QDir(trash.path()).filePath("Trash/files/Fatter sub copy.txt")));

    QFile notes(at("library.json"));
    ASSERT_TRUE(notes.open(QIODevice::ReadOnly));
    const QByteArray json = notes.readAll();
    EXPECT_TRUE(json.contains("\"Fatter sub\": \"low and round\"")) << json.toStdString();
    EXPECT_FALSE(json.contains("copy")) << "the deleted copy's note went with it";
}

// Save replaces the selected preset after a question, Save As makes a new one by name, each
// with the values the pedal holds, read just then.
TEST_F(LibraryTest, SaveAndSaveAsWriteWhatThePedalHolds)
{
    preset("Old.txt", 0x7FE000);
    open();
    PresetValues held{};
    for (int i = 0; i < kParameterCount; ++i)
        held[static_cast<size_t>(i)] = pedal.state().parameters[i];
    ASSERT_EQ(current(), "Old");

    prompt.answers = {false};
    libraryAction("actLibrarySave")->trigger();
    ASSERT_TRUE(settle());
    EXPECT_NE(QFileInfo(at("Old.txt")).size(), 0);
    {
        QFile f(at("Old.txt"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_NE(f.readAll(), writePreset(held)) << "No keeps the file";
    }
    prompt.answers = {true, true}; // the library's question, then nothing else asks
    libraryAction("actLibrarySave")->trigger();
    ASSERT_TRUE(settle());
    {
        QFile f(at("Old.txt"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), writePreset(held));
    }

    prompt.texts = {QString("New one")};
    libraryAction("actLibrarySaveAs")->trigger();
    ASSERT_TRUE(settle());
    EXPECT_TRUE(QFile::exists(at("New one.txt")));
    EXPECT_TRUE(waitFor([&] { return shown().contains("● New one") || shown().contains("New one"); }));
}

TEST_F(LibraryTest, ImportTakesTheGoodFileAndNamesTheBadOnesLine)
{
    open();
    QTemporaryDir outside;
    const QString good = QDir(outside.path()).filePath("Good.txt");
    const QString bad = QDir(outside.path()).filePath("Bad.txt");
    {
        QFile g(good), b(bad);
        ASSERT_TRUE(g.open(QIODevice::WriteOnly) && b.open(QIODevice::WriteOnly));
        g.write(writePreset(PresetValues{}));
        b.write("00000000\r\nnot hex!\r\n");
    }
    prompt.files = {good, bad};
    libraryAction("actLibraryImport")->trigger();
    EXPECT_TRUE(QFile::exists(at("Good.txt")));
    EXPECT_FALSE(QFile::exists(at("Bad.txt")));
    EXPECT_EQ(shown(), QStringList({"Good"}));
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages[0].contains("line 2")) << prompt.messages[0].toStdString();
}

// Files dropped on the window are imported as the dialog's are, into the selected bank.
TEST_F(LibraryTest, DroppedFilesAreImportedIntoTheSelectedBank)
{
    preset("Live/Room.txt", 0x100000);
    open();
    ASSERT_TRUE(select("Live/Room"));
    QTemporaryDir outside;
    const QString dropped = QDir(outside.path()).filePath("Dropped.txt");
    {
        QFile f(dropped);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(writePreset(PresetValues{}));
    }
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dropped)});
    QWidget *window = list()->window();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    EXPECT_TRUE(QFile::exists(at("Live/Dropped.txt")));
    EXPECT_TRUE(shown().contains("Dropped"));
}

TEST_F(LibraryTest, TheListFollowsTheFolder)
{
    preset("a.txt", 0x100000);
    open();
    preset("Live/new one.txt", 0x500000);
    ASSERT_TRUE(waitFor([&] { return shown().contains("Live"); }));
    preset("Live/another.txt", 0x500000);
    EXPECT_TRUE(waitFor([&] { return shown().contains("another"); })) << shown().join(" | ").toStdString();
    QFile::remove(at("a.txt"));
    EXPECT_TRUE(waitFor([&] { return !shown().contains("● a") && !shown().contains("a"); }));
}
