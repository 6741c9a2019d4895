// Undo, redo and Compare in the effect window, driven as a player drives them, against the
// in-process pedal: what matters is what the pedal holds after each step.
#include "editorfixture.h"

#include "base/hexcodec.h"
#include "content/preset.h"
#include "effect/parameters.h"
#include "ui/dialwidget.h"
#include "ui/edithistory.h"
#include "ui/editor.h"
#include "ui/effectwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

using namespace vadrelon;

class EditHistoryTest : public test::EditorFixture {
public:
    void SetUp() override
    {
        pedal.state().parameters[ParDry] = 0x3FC000;           // 49.8 %
        pedal.state().parameters[ParWave] = 0x600000;          // off
        pedal.state().parameters[ParHarmonicPitch] = 0x400000; // "0"
        start({&pedal});
        linkAndClear();
    }
    QAction *act(const char *name)
    {
        for (QAction *a : fx().actions())
            if (a->objectName() == QLatin1String(name))
                return a;
        ADD_FAILURE() << "no action " << name;
        return nullptr;
    }
    // Every knob message out and every exchange over.
    void flush()
    {
        ASSERT_TRUE(
            waitFor([&] { return !editor->session.link().hasPacedMessage() && !editor->session.link().busy(); }));
        QTest::qWait(10);
    }
    // What the pedal holds that a player hears.
    std::pair<std::array<quint32, kParameterCount>, quint8> heard()
    {
        std::array<quint32, kParameterCount> values{};
        for (int i = 0; i < kParameterCount; ++i)
            values[static_cast<size_t>(i)] = pedal.state().parameters[i];
        return {values, pedal.state().bypass};
    }
    void typeValue(const char *dial, const char *text)
    {
        DialWidget *d = find<DialWidget>(dial);
        d->setFocus();
        QTest::keyClick(d, Qt::Key_Return);
        QLineEdit *field = find<QLineEdit>("edtDialValue");
        field->clear();
        QTest::keyClicks(field, QString::fromLatin1(text));
        QTest::keyClick(field, Qt::Key_Return);
    }
    static void wheel(DialWidget *target, int notches)
    {
        QWheelEvent event(QPointF(20, 20), target->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, 120 * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }
    const QUndoStack &steps() { return editor->windows.history().steps(); }
};

// Each kind of change, undone and redone: the pedal holds what it held before, then what the
// change gave it, and a redo sends the change's own bytes again.
TEST_F(EditHistoryTest, UndoAndRedoTakeThePedalBackAndForth)
{
    struct Case {
        const char *what;
        std::function<void(EditHistoryTest &)> act;
        const char *undoText;
    };
    const Case cases[] = {
        {"typed value", [](EditHistoryTest &f) { f.typeValue("dialDry", "50"); }, "Undo Dry 50.0 %"},
        {"knob key", [](EditHistoryTest &f) { QTest::keyClick(f.find<DialWidget>("dialSubMix"), Qt::Key_End); },
         "Undo Sub Mix 99.9 %"},
        {"switch", [](EditHistoryTest &f) { f.find<QPushButton>("swtWave")->click(); }, "Undo Wave on"},
        {"pitch list", [](EditHistoryTest &f) { f.find<QComboBox>("cmbVariableWavePitch")->setCurrentIndex(15); },
         "Undo 1st Harmonic Pitch +3"},
        {"bypass", [](EditHistoryTest &f) { f.find<QPushButton>("swtBypass")->click(); }, "Undo Bypass on"},
        {"note-cut box",
         [](EditHistoryTest &f) {
             f.find<QComboBox>("cmbGuitarTuning")->setCurrentIndex(1); // a step of its own, with no message
             f.find<QCheckBox>("chkHighNoteCut")->click();
         },
         "Undo High Notes Cut on"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const auto before = heard();
        pedal.clearReceived();
        c.act(*this);
        flush();
        const QStringList change = sent();
        const auto after = heard();
        ASSERT_NE(after, before);
        EXPECT_EQ(act("actUndo")->text(), c.undoText);

        pedal.clearReceived();
        act("actUndo")->trigger();
        flush();
        EXPECT_EQ(sent().size(), 1) << sent().join(" | ").toStdString();
        EXPECT_EQ(heard(), before);

        pedal.clearReceived();
        act("actRedo")->trigger();
        flush();
        EXPECT_EQ(sent(), change);
        EXPECT_EQ(heard(), after);
        act("actUndo")->trigger(); // for the next case
        flush();
    }
    EXPECT_TRUE(find<DialWidget>("dialDry")->valueText() == "49.8 %") << "the window shows the undone value";
}

// The lists whose choice goes out with a later command go back without a message.
TEST_F(EditHistoryTest, AListChoiceIsUndoneWithoutAMessage)
{
    QComboBox *tuning = find<QComboBox>("cmbGuitarTuning");
    QComboBox *control = find<QComboBox>("cmbAssignCtrlUNO");
    tuning->setCurrentIndex(2);
    control->setCurrentIndex(1);
    EXPECT_EQ(act("actUndo")->text(), "Undo Control I " + control->itemText(1));
    act("actUndo")->trigger();
    EXPECT_EQ(control->currentIndex(), 0);
    act("actUndo")->trigger();
    EXPECT_EQ(tuning->currentIndex(), 0);
    EXPECT_EQ(editor->session.effect.currentTuning, 0);
    act("actRedo")->trigger();
    EXPECT_EQ(tuning->currentIndex(), 2);
    EXPECT_EQ(editor->session.effect.currentTuning, 2);
    flush();
    EXPECT_TRUE(sent().isEmpty()) << sent().join(" | ").toStdString();
}

// Wheel notches on one knob closer than the gap are one step; after a pause, a new one.
TEST_F(EditHistoryTest, AWheelRunOnOneKnobIsOneStep)
{
    DialWidget *dry = find<DialWidget>("dialDry");
    const auto before = heard();
    for (int i = 0; i < 5; ++i) {
        wheel(dry, 1);
        QTest::qWait(EditHistory::kRunGapMs / 5);
    }
    flush();
    EXPECT_EQ(steps().count(), 1);
    QTest::qWait(EditHistory::kRunGapMs + 50);
    wheel(dry, 1);
    flush();
    EXPECT_EQ(steps().count(), 2);
    act("actUndo")->trigger();
    act("actUndo")->trigger();
    flush();
    EXPECT_EQ(heard(), before);
    EXPECT_FALSE(act("actUndo")->isEnabled());
}

// An undo quicker than the knob's period: the knob's waiting message must not land after the
// undo's and leave the pedal where the hand left it.
TEST_F(EditHistoryTest, AnUndoRightAfterATurnLeavesThePedalWhereItWas)
{
    const auto before = heard();
    QTest::keyClick(find<DialWidget>("dialDry"), Qt::Key_PageUp);
    ASSERT_TRUE(editor->session.link().hasPacedMessage());
    QTest::keyClick(&fx(), Qt::Key_Z, Qt::ControlModifier);
    flush();
    EXPECT_EQ(heard(), before);
    EXPECT_EQ(find<DialWidget>("dialDry")->valueText(), "49.8 %");
}

// A knob's context menu, opened from the keyboard, takes it back to the stored value, exactly,
// as a step of its own.
TEST_F(EditHistoryTest, AKnobsMenuTakesItBackToTheStoredValue)
{
    const auto stored = heard();
    typeValue("dialDry", "50");
    flush();
    ASSERT_NE(heard(), stored);
    DialWidget *dry = find<DialWidget>("dialDry");
    QStringList offered;
    QTimer::singleShot(50, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction *a : menu->actions()) {
            offered << a->text();
            if (a->text() == "Back to the stored value")
                a->trigger();
        }
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), dry->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(dry, &event);
    flush();
    EXPECT_TRUE(offered.startsWith("Type a value…")) << offered.join(" | ").toStdString();
    EXPECT_EQ(heard(), stored);
    EXPECT_EQ(dry->valueText(), "49.8 %");
    EXPECT_EQ(steps().count(), 2);
}

// A drag is one step however slow the hand.
TEST_F(EditHistoryTest, ADragIsOneStep)
{
    DialWidget *dry = find<DialWidget>("dialDry");
    const QPoint from(dry->width() / 2, dry->height() / 2);
    QTest::mousePress(dry, Qt::LeftButton, Qt::NoModifier, from);
    for (int i = 1; i <= 3; ++i) {
        QMouseEvent move(QEvent::MouseMove, QPointF(from - QPoint(0, 10 * i)), dry->mapToGlobal(QPointF(from)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dry, &move);
        QTest::qWait(EditHistory::kRunGapMs + 100);
    }
    QTest::mouseRelease(dry, Qt::LeftButton, Qt::NoModifier, from - QPoint(0, 30));
    flush();
    EXPECT_EQ(steps().count(), 1);
}

TEST_F(EditHistoryTest, APresetLoadIsOneStepThatSendsBackOnlyWhatItChanged)
{
    PresetValues values = editor->session.live;
    values[ParDry] = 0x400000;
    values[ParSplit] = 1;
    const QString path = docs.filePath("p.txt");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(writePreset(values));
    file.close();
    const auto before = heard();
    prompt.files = {path};
    trigger("menuLoadPreset");
    flush();
    const QStringList load = sent();
    ASSERT_EQ(load.size(), 2);
    EXPECT_EQ(act("actUndo")->text(), "Undo Load Preset p");

    pedal.clearReceived();
    act("actUndo")->trigger();
    flush();
    EXPECT_EQ(sent().size(), 2);
    EXPECT_EQ(heard(), before);
    EXPECT_FALSE(find<QPushButton>("swtSplit")->isChecked());
    pedal.clearReceived();
    act("actRedo")->trigger();
    flush();
    EXPECT_EQ(sent(), load);
}

// While a job runs, neither undo nor redo sends anything.
TEST_F(EditHistoryTest, NothingGoesOutWhileAJobRuns)
{
    find<QPushButton>("swtWave")->click();
    flush();
    pedal.faults().answerDelayMs = 120;
    click("btnRequest");
    ASSERT_TRUE(editor->session.link().busy());
    EXPECT_FALSE(act("actUndo")->isEnabled());
    act("actUndo")->trigger();
    flush();
    EXPECT_EQ(sent(), QStringList({"01 00 02 00 40 00 00", "02 00"}));
    EXPECT_TRUE(act("actUndo")->isEnabled());
}

// Values changed on the pedal itself end the history; a read that brings nothing new, or a
// store, keeps it.
TEST_F(EditHistoryTest, AReadWithOutsideChangesEndsTheHistory)
{
    find<QPushButton>("swtWave")->click();
    flush();
    click("btnRequest");
    flush();
    EXPECT_EQ(steps().count(), 1) << "the pedal holds what the window shows";
    prompt.answers = {true};
    click("btnSaveParameters");
    flush();
    EXPECT_EQ(steps().count(), 1);

    pedal.state().parameters[ParSplit] = 1; // a knob turned on the pedal
    click("btnRequest");
    flush();
    EXPECT_EQ(steps().count(), 0);
    EXPECT_FALSE(act("actUndo")->isEnabled());
    EXPECT_TRUE(logHas("The pedal's values changed outside the editor: the undo history starts again here."));
}

// Compare: the pedal plays the stored values, then the edited ones again, and nothing of the
// editing is lost on the way.
TEST_F(EditHistoryTest, CompareTogglesThePedalBetweenStoredAndEdited)
{
    QAction *compare = act("actCompare");
    EXPECT_FALSE(compare->isEnabled()) << "nothing to compare";
    const auto stored = heard();
    typeValue("dialDry", "50");
    find<QPushButton>("swtWave")->click();
    flush();
    const auto edited = heard();
    ASSERT_TRUE(compare->isEnabled());
    ASSERT_TRUE(fx().isWindowModified());

    pedal.clearReceived();
    QTest::keyClick(&fx(), Qt::Key_K, Qt::ControlModifier);
    flush();
    EXPECT_TRUE(compare->isChecked());
    EXPECT_EQ(sent().size(), 2) << "each differing value once";
    EXPECT_EQ(heard(), stored);
    EXPECT_EQ(find<DialWidget>("dialDry")->valueText(), "49.8 %");
    EXPECT_FALSE(find<DialWidget>("dialDry")->isEnabled());
    EXPECT_FALSE(find<QPushButton>("swtWave")->isEnabled());
    EXPECT_FALSE(find<QComboBox>("cmbGuitarTuning")->isEnabled());
    EXPECT_TRUE(find<QToolButton>("btnCompare")->isEnabled());
    EXPECT_TRUE(find<QLabel>("lblAddresses")->isVisible());
    EXPECT_TRUE(fx().windowTitle().contains("Comparing with stored"));
    EXPECT_TRUE(fx().isWindowModified()) << "the edits are still there";
    EXPECT_FALSE(act("actUndo")->isEnabled());
    EXPECT_EQ(steps().count(), 2);

    pedal.clearReceived();
    compare->trigger();
    flush();
    EXPECT_FALSE(compare->isChecked());
    EXPECT_EQ(sent().size(), 2);
    EXPECT_EQ(heard(), edited);
    EXPECT_EQ(find<DialWidget>("dialDry")->valueText(), "50.0 %");
    EXPECT_TRUE(find<DialWidget>("dialDry")->isEnabled());
    EXPECT_EQ(steps().count(), 2);
    EXPECT_EQ(steps().index(), 2);
}

// A job started while comparing hears the edited values first: Save Parameters stores the
// edits, not what was being compared.
TEST_F(EditHistoryTest, AJobEndsTheComparisonFirst)
{
    find<QPushButton>("swtWave")->click();
    flush();
    const auto edited = heard();
    act("actCompare")->trigger();
    flush();
    pedal.clearReceived();
    click("btnRequest");
    flush();
    EXPECT_FALSE(editor->session.comparing());
    const QStringList got = sent();
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0], "01 00 02 00 40 00 00") << "the edit back";
    EXPECT_EQ(got[1], "02 00");
    EXPECT_EQ(heard(), edited);
    EXPECT_TRUE(find<QPushButton>("swtWave")->isChecked());
    EXPECT_TRUE(find<QPushButton>("swtWave")->isEnabled());
}
