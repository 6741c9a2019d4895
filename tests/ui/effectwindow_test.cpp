#include "editorfixture.h"

#include "device/jobs.h"
#include "effect/dialmapping.h"
#include "ui/dialwidget.h"
#include "ui/editor.h"
#include "ui/effectwindow.h"
#include "ui/mainwindow.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace vadrelon;

namespace {

// The pedal's parameter values as it reports them, block order.
enum : int {
    Dry,
    SubMix,
    Minus1,
    Minus2,
    Wave,
    LowPass,
    HighPass,
    Harmonic,
    Split,
    Range,
    InputLevel,
    Pitch,
    Clip,
    DominantCut,
    HighCut,
    DryHpf
};

} // namespace

class EffectWindowTest : public test::EditorFixture {
public:
    void linkAndClear()
    {
        link();
        pedal.clearReceived();
    }
    // Lets the knob's period end and any exchange finish.
    void flush()
    {
        ASSERT_TRUE(
            waitFor([&] { return !editor->session.link().hasPacedMessage() && !editor->session.link().busy(); }));
    }
    QStringList sent() { return received(pedal); }
};

TEST_F(EffectWindowTest, LinkingOpensItFilledFromThePedal)
{
    sim::PedalState &s = pedal.state();
    s.parameters[Dry] = 0x3FC000; // level 510: 91 degrees
    s.parameters[LowPass] = 12;   // step 12 of 24: 90 degrees
    s.parameters[HighPass] = 8;   // step 8 of 16: 89 degrees
    s.parameters[InputLevel] = 0x7FE000;
    s.parameters[Wave] = 0x400000;
    s.parameters[Split] = 1;
    s.parameters[Pitch] = 0x800000; // "+12"
    s.parameters[HighCut] = 1;
    s.tuning = 1;
    s.semitones = -1;
    s.bypass = 1;
    s.footswitchMode = 3;
    s.assignFlags = {1, 0, 1, 0, 1};
    s.assignAddresses = {0x000A, 0xFFFF, 0x000C, 0xFFFF, 0xFFFE};
    start({&pedal});
    link();

    ASSERT_TRUE(fx().isVisible());
    EXPECT_EQ(fx().windowTitle(), "Vadrelon MK3 0012[*]");
    EXPECT_FALSE(fx().isWindowModified());
    EXPECT_EQ(fx().pos().x(), w().frameGeometry().right() + 1);
    EXPECT_EQ(find<DialWidget>("dialDry")->angle(), 91);
    EXPECT_EQ(find<DialWidget>("dialLowPass")->angle(), 90);
    EXPECT_EQ(find<DialWidget>("dialHighPass")->angle(), 89);
    EXPECT_EQ(find<DialWidget>("dialInputLevel")->angle(), -45);
    // Under each knob the value the pedal holds, exactly, in a player's terms.
    EXPECT_EQ(find<DialWidget>("dialDry")->valueText(), "49.8 %");
    EXPECT_EQ(find<DialWidget>("dialLowPass")->valueText(), "12");
    EXPECT_EQ(find<DialWidget>("dialHighPass")->valueText(), "8");
    EXPECT_EQ(find<DialWidget>("dialInputLevel")->valueText(), "99.9 %");
    EXPECT_EQ(QApplication::focusWidget(), find<DialWidget>("dialDry")) << "Dry has the keyboard";
    EXPECT_EQ(find<DialWidget>("dialSubMix")->angle(), -135);
    EXPECT_TRUE(find<QPushButton>("swtWave")->isChecked());
    EXPECT_TRUE(find<QPushButton>("swtSplit")->isChecked());
    EXPECT_EQ(find<QComboBox>("cmbVariableWavePitch")->currentText(), "+12");
    EXPECT_TRUE(find<QCheckBox>("chkHighNoteCut")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("chkDominantNoteCut")->isChecked());
    EXPECT_EQ(find<QComboBox>("cmbGuitarTuning")->currentText(), "Standard (EADGBE)");
    EXPECT_EQ(find<QComboBox>("cmbSemitonesVariation")->currentText(), "-1");
    EXPECT_EQ(editor->session.effect.semitoneVariation, -1);
    EXPECT_TRUE(find<QPushButton>("swtBypass")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("chkChangePresetShortPress")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("chkBypassLongPress")->isChecked());
    EXPECT_EQ(find<QComboBox>("cmbAssignCtrlUNO")->currentText(), "Input Level");
    EXPECT_EQ(find<QComboBox>("cmbAssignCtrlTRE")->currentText(), "High Notes Cut")
        << "the pedal's tuning makes it valid";
    EXPECT_EQ(find<QComboBox>("cmbAssignRemote")->currentText(), "Bypass");
    EXPECT_TRUE(editor->session.parameters.InputLevel.isAssigned);
    EXPECT_TRUE(find<DialWidget>("dial1stHarmonic")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("swtWave")->isEnabled());
    EXPECT_TRUE(logHas("Dry: \t003FC000"));
    EXPECT_TRUE(logHas("Footswitch Mode: 3"));
    EXPECT_TRUE(logHas("Semitones variation: FF"));
    // What the pedal reported stays as it reported it, and nothing of it goes back.
    EXPECT_EQ(editor->session.parameters.LowPass.value, 12u);
    flush();
    EXPECT_EQ(sent(), QStringList({"02 00"}));
}

TEST_F(EffectWindowTest, AStatusReplyEqualToWhatIsShownSendsNothing)
{
    pedal.state().parameters[Dry] = 0x3FC000;
    pedal.state().parameters[Wave] = 0x600000;
    pedal.state().parameters[Split] = 1;
    pedal.state().parameters[LowPass] = 12;
    start({&pedal});
    linkAndClear();
    click("btnRequest");
    flush();
    EXPECT_EQ(sent(), QStringList({"02 00"}));
}

TEST_F(EffectWindowTest, ATurningKnobSendsAtMostOneMessagePerPeriodWithTheLastPosition)
{
    start({&pedal});
    linkAndClear();
    for (int angle : {-120, -100, 180, 170, 160, 150, 140, 120, 100, 90})
        find<DialWidget>("dialDry")->setAngle(angle);
    EXPECT_TRUE(sent().isEmpty()) << "nothing before the period ends";
    flush();
    EXPECT_EQ(sent(), QStringList({"01 00 25 00 3F C0 00"}));
    EXPECT_TRUE(logHas("Send Dry string (standard par): 010025003FC000"));
    EXPECT_EQ(editor->session.parameters.Dry.value, 0x3FC000u);
}

// A player's hand goes from knob to knob faster than the period: PgUp on Dry, then on Sub Mix.
TEST_F(EffectWindowTest, TwoKnobsTurnedWithinAPeriodBothReachThePedal)
{
    start({&pedal});
    linkAndClear();
    QTest::keyClick(find<DialWidget>("dialSubMix"), Qt::Key_PageUp);
    QTest::keyClick(find<DialWidget>("dialDry"), Qt::Key_PageUp);
    flush();
    const QStringList got = sent();
    ASSERT_EQ(got.size(), 2) << got.join(" | ").toStdString();
    const auto addressed = [](quint16 address) {
        return QString::asprintf("01 %02X %02X", address >> 8, address & 0xFF);
    };
    EXPECT_TRUE(got[0].startsWith(addressed(editor->session.parameters.Dry.address))) << "Dry, first in block order";
    EXPECT_TRUE(got[1].startsWith(addressed(editor->session.parameters.SubMix.address))) << "Sub Mix";
    EXPECT_EQ(pedal.state().parameters[Dry], editor->session.parameters.Dry.value) << "the pedal holds what is shown";
    EXPECT_EQ(pedal.state().parameters[SubMix], editor->session.parameters.SubMix.value);
}

// A value typed on a focused knob goes out as the exact level, not the nearest angle's; the knob
// shows its nearest angle and the exact value.
TEST_F(EffectWindowTest, ATypedValueSendsTheExactLevel)
{
    start({&pedal});
    linkAndClear();
    DialWidget *dry = find<DialWidget>("dialDry");
    dry->setFocus();
    QTest::keyClick(dry, Qt::Key_Return);
    QLineEdit *field = find<QLineEdit>("edtDialValue");
    ASSERT_TRUE(field->hasFocus());
    field->clear();
    QTest::keyClicks(field, "49.8 %");
    QTest::keyClick(field, Qt::Key_Return);
    flush();
    EXPECT_EQ(sent(), QStringList({"01 00 25 00 3F C0 00"})) << "level 510, which no angle gives";
    EXPECT_EQ(pedal.state().parameters[Dry], 0x3FC000u);
    EXPECT_EQ(dry->valueText(), "49.8 %");
    EXPECT_EQ(dry->angle(), 91);
    EXPECT_EQ(QApplication::focusWidget(), dry);

    // A step on a stepped knob goes out as the level its knob shows for that step.
    DialWidget *lowPass = find<DialWidget>("dialLowPass");
    lowPass->setFocus();
    QTest::keyClick(lowPass, Qt::Key_Enter);
    field = find<QLineEdit>("edtDialValue");
    field->clear();
    QTest::keyClicks(field, "12");
    QTest::keyClick(field, Qt::Key_Return);
    flush();
    EXPECT_EQ(pedal.state().parameters[LowPass], 12u) << "the pedal reports the step it took";
    EXPECT_EQ(lowPass->valueText(), "12");
    EXPECT_EQ(editor->session.live[LowPass], 12u) << "kept as the pedal reports it";
}

// Escape, or text that is no value of the knob, sends nothing; the refusal says what the knob
// takes, in the field.
TEST_F(EffectWindowTest, ATypedValueThatIsNoValueOrEscapedSendsNothing)
{
    start({&pedal});
    linkAndClear();
    DialWidget *subMix = find<DialWidget>("dialSubMix");
    const int angle = subMix->angle();
    QTest::mouseDClick(subMix, Qt::LeftButton, Qt::NoModifier, QPoint(subMix->width() / 2, subMix->height() - 4));
    QLineEdit *field = find<QLineEdit>("edtDialValue");
    field->clear();
    QTest::keyClicks(field, "120");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(field->text(), "\"120\" is not a level from 0 to 100 %");
    EXPECT_TRUE(field->isVisible());
    QTest::keyClicks(field, "60");
    QTest::keyClick(field, Qt::Key_Escape);
    flush();
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(subMix->angle(), angle);
    EXPECT_TRUE(waitFor([&] { return fx().findChildren<QLineEdit *>().isEmpty(); })) << "the field has gone";
}

// A screen reader finds each knob by its caption, with its value as the text under it, and can
// turn it.
TEST_F(EffectWindowTest, AScreenReaderNamesEveryKnobAndReadsItsValue)
{
    pedal.state().parameters[Dry] = 0x400000;
    start({&pedal});
    linkAndClear();
    for (DialWidget *dial : fx().findChildren<DialWidget *>()) {
        QAccessibleInterface *knob = QAccessible::queryAccessibleInterface(dial);
        ASSERT_NE(knob, nullptr);
        EXPECT_EQ(knob->role(), QAccessible::Dial);
        EXPECT_FALSE(knob->text(QAccessible::Name).isEmpty()) << dial->objectName().toStdString();
        EXPECT_EQ(knob->text(QAccessible::Value), dial->valueText());
        ASSERT_NE(knob->valueInterface(), nullptr);
    }
    QAccessibleInterface *dry = QAccessible::queryAccessibleInterface(find<DialWidget>("dialDry"));
    EXPECT_EQ(dry->text(QAccessible::Name), "Dry");
    EXPECT_EQ(dry->text(QAccessible::Value), "50.0 %");
    dry->valueInterface()->setCurrentValue(dry->valueInterface()->maximumValue());
    flush();
    EXPECT_EQ(pedal.state().parameters[Dry], 0x7FE000u) << "turned to the top";
    for (const char *name : {"cmbVariableWavePitch", "cmbGuitarTuning", "cmbSemitonesVariation", "cmbAssignCtrlUNO",
                             "swtWave", "swtBypass"})
        EXPECT_FALSE(
            QAccessible::queryAccessibleInterface(fx().findChild<QWidget *>(name))->text(QAccessible::Name).isEmpty())
            << name;
}

// Tab goes through the controls as they are laid out: the knobs row by row, the pitch, the
// switches and Compare, the tracking functions, the assignments, the footswitch.
TEST_F(EffectWindowTest, TabFollowsTheLayout)
{
    start({&pedal});
    linkAndClear();
    find<QPushButton>("swtWave")->click(); // something to compare
    QStringList order;
    QWidget *w = find<DialWidget>("dialDry");
    do {
        if (w->isEnabled() && w->isVisible() && (w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty())
            order << w->objectName();
        w = w->nextInFocusChain();
    } while (w != find<DialWidget>("dialDry") && order.size() < 60);
    EXPECT_EQ(order, QStringList({"dialDry",
                                  "dialSubMix",
                                  "dialMinus1Oct",
                                  "dialMinus2Oct",
                                  "dialLowPass",
                                  "dialHighPass",
                                  "dialRange",
                                  "dialDryHPF",
                                  "dialInputLevel",
                                  "dialClipWave",
                                  "dial1stHarmonic",
                                  "cmbVariableWavePitch",
                                  "swtWave",
                                  "swtSplit",
                                  "swtBypass",
                                  "btnCompare",
                                  "cmbGuitarTuning",
                                  "cmbSemitonesVariation",
                                  "chkDominantNoteCut",
                                  "chkHighNoteCut",
                                  "cmbAssignCtrlUNO",
                                  "cmbAssignCtrlDUE",
                                  "cmbAssignCtrlTRE",
                                  "cmbAssignCtrlQUATTRO",
                                  "cmbAssignRemote",
                                  "chkBypassShortPress",
                                  "chkChangePresetShortPress",
                                  "chkBypassLongPress",
                                  "chkChangePresetLongPress"}));
}

// Every control a player can change says in its hint what it does.
TEST_F(EffectWindowTest, EveryControlHasAHint)
{
    start({});
    fx();
    for (QWidget *w : fx().findChildren<QWidget *>()) {
        if (!qobject_cast<DialWidget *>(w) && !qobject_cast<QComboBox *>(w) && !qobject_cast<QAbstractButton *>(w))
            continue;
        if (w->objectName().isEmpty() || w->objectName() == "btnCompare")
            continue; // the compare button takes its hint from its action
        EXPECT_FALSE(w->toolTip().isEmpty()) << w->objectName().toStdString();
    }
}

TEST_F(EffectWindowTest, TheWaitingDialMessageSurvivesOtherMessages)
{
    start({&pedal});
    linkAndClear();
    find<DialWidget>("dialDry")->setAngle(90);
    find<QPushButton>("swtSplit")->setChecked(true); // written at once through the transmit buffer
    flush();
    EXPECT_EQ(sent(), QStringList({"01 00 EE 00 00 00 01", "01 00 25 00 3F C0 00"}));
}

TEST_F(EffectWindowTest, EachControlSendsItsMessage)
{
    struct Case {
        const char *what;
        std::function<void(EffectWindowTest &)> act;
        QStringList bytes;
    };
    const Case cases[] = {
        {"dial into the dead sector",
         [](EffectWindowTest &f) { f.find<DialWidget>("dialDry")->setAngle(-89); },
         {"01 00 25 00 7F E0 00"}},
        {"Range has no address",
         [](EffectWindowTest &f) { f.find<DialWidget>("dialRange")->setAngle(0); },
         {"01 00 00 00 6A 80 00"}},
        {"pitch +12",
         [](EffectWindowTest &f) { f.find<QComboBox>("cmbVariableWavePitch")->setCurrentIndex(24); },
         {"01 00 78 00 80 00 00"}},
        {"Wave on",
         [](EffectWindowTest &f) { f.find<QPushButton>("swtWave")->setChecked(true); },
         {"01 00 02 00 40 00 00"}},
        {"Wave on then off",
         [](EffectWindowTest &f) {
             f.find<QPushButton>("swtWave")->setChecked(true);
             f.find<QPushButton>("swtWave")->setChecked(false);
         },
         {"01 00 02 00 40 00 00", "01 00 02 00 60 00 00"}},
        {"Split on",
         [](EffectWindowTest &f) { f.find<QPushButton>("swtSplit")->setChecked(true); },
         {"01 00 EE 00 00 00 01"}},
        {"bypass on", [](EffectWindowTest &f) { f.find<QPushButton>("swtBypass")->setChecked(true); }, {"0D 01"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim::VirtualPedal p;
        start({&p});
        link();
        flush();
        p.clearReceived();
        c.act(*this);
        flush();
        QTest::qWait(20);
        EXPECT_EQ(received(p), c.bytes);
        editor.reset();
        driver.detach(&p);
    }
    EXPECT_EQ(HarmonicPitchTable[24], 0x800000u);
}

TEST_F(EffectWindowTest, ANoteCutBoxNeedsATuning)
{
    start({&pedal});
    linkAndClear();
    prompt.messages.clear();
    find<QCheckBox>("chkDominantNoteCut")->setChecked(true);
    EXPECT_EQ(prompt.messages, QStringList({"Set a tuning before using this parameter"}));
    EXPECT_FALSE(find<QCheckBox>("chkDominantNoteCut")->isChecked());
    EXPECT_EQ(editor->session.parameters.DominantNotesCut.value, 0u);
    EXPECT_EQ(sent(), QStringList({"01 00 1B 00 00 00 00"}));
    EXPECT_TRUE(logHas("write to DSP msg: 01001B00000000"));

    find<QComboBox>("cmbGuitarTuning")->setCurrentIndex(2);
    find<QCheckBox>("chkHighNoteCut")->setChecked(true);
    EXPECT_EQ(sent().last(), "01 00 0C 00 00 00 01");
    EXPECT_EQ(editor->session.parameters.HighNotesCut.value, 1u);
}

TEST_F(EffectWindowTest, DuringAnExchangeChangesAreRefusedAndPutBack)
{
    pedal.state().parameters[Dry] = 0x3FC000;   // 91 degrees
    pedal.state().parameters[Pitch] = 0x400000; // "0"
    pedal.state().tuning = 1;
    start({&pedal});
    linkAndClear();
    pedal.faults().answerDelayMs = 120; // within the request's bound, which runs at a tenth
    click("btnRequest");
    ASSERT_TRUE(editor->session.link().busy());
    find<DialWidget>("dialDry")->setAngle(0);
    find<QComboBox>("cmbVariableWavePitch")->setCurrentIndex(3);
    find<QCheckBox>("chkHighNoteCut")->setChecked(true);
    find<QPushButton>("swtBypass")->setChecked(true);
    find<QPushButton>("swtWave")->setChecked(true);
    EXPECT_EQ(find<DialWidget>("dialDry")->angle(), 91);
    EXPECT_EQ(find<QComboBox>("cmbVariableWavePitch")->currentText(), "0");
    EXPECT_FALSE(find<QCheckBox>("chkHighNoteCut")->isChecked());
    EXPECT_FALSE(find<QPushButton>("swtBypass")->isChecked());
    EXPECT_EQ(find<QPushButton>("swtBypass")->text(), "OFF");
    EXPECT_FALSE(find<QPushButton>("swtWave")->isChecked());
    flush();
    EXPECT_EQ(sent(), QStringList({"02 00"}));
    EXPECT_EQ(editor->session.parameters.Dry.value, 0x3FC000u);
    EXPECT_EQ(editor->session.parameters.HarmonicPitch.value, 0x400000u);
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join('|').toStdString();
}

TEST_F(EffectWindowTest, EveryEndOfARequestLeavesTheWindowLive)
{
    struct Case {
        const char *what;
        std::function<void(EffectWindowTest &, sim::VirtualPedal &)> request;
    };
    const auto requestWith = [](std::function<void(sim::Faults &)> fault) {
        return [fault](EffectWindowTest &f, sim::VirtualPedal &p) {
            fault(p.faults());
            f.click("btnRequest");
            ASSERT_TRUE(f.settle());
            p.faults() = {};
        };
    };
    const Case cases[] = {
        {"silent", requestWith([](sim::Faults &x) { x.silent = true; })},
        {"short", requestWith([](sim::Faults &x) { x.cutReplyAfterBytes = 100; })},
        {"garbled", requestWith([](sim::Faults &x) { x.garbleReply = true; })},
        {"busy",
         [](EffectWindowTest &f, sim::VirtualPedal &) {
             f.prompt.answers = {true};
             f.click("btnSaveParameters");
             EXPECT_FALSE(f.editor->session.link().run(std::make_unique<StatusJob>()));
             ASSERT_TRUE(f.settle());
         }},
        {"unplug",
         [](EffectWindowTest &f, sim::VirtualPedal &p) {
             p.faults().answerDelayMs = 500;
             f.click("btnRequest");
             f.driver.detach(&p);
             ASSERT_TRUE(f.settle());
             p.faults() = {};
             f.driver.attach(&p);
             f.link();
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim::VirtualPedal p;
        start({&p});
        link();
        c.request(*this, p);
        p.clearReceived();
        find<DialWidget>("dialDry")->setAngle(90);
        flush();
        EXPECT_EQ(received(p), QStringList({"01 00 25 00 3F C0 00"}));
        editor.reset();
        driver.detach(&p);
    }
}

TEST_F(EffectWindowTest, AssignAsksFirst)
{
    start({&pedal});
    linkAndClear();
    find<QComboBox>("cmbAssignCtrlUNO")->setCurrentText("Input Level");
    find<QComboBox>("cmbAssignRemote")->setCurrentText("Bypass");
    prompt.answers = {false, true};
    click("btnAssign");
    EXPECT_TRUE(sent().isEmpty());
    click("btnAssign");
    EXPECT_EQ(sent(), QStringList({"04 01 00 00 00 01 00 0A FF FF FF FF FF FF FF FE"}));
    EXPECT_EQ(prompt.messages, QStringList({"Upload Assignments?", "Upload Assignments?"}));
    EXPECT_TRUE(logHas("lenght of assign message in bytes: 16"));
    EXPECT_FALSE(enabled("btnAssign")) << "the pedal takes its time over it";
    flush();
    EXPECT_TRUE(enabled("btnAssign"));
}

TEST_F(EffectWindowTest, NoteCutAssignmentsNeedATuningWhenTheUserChoosesThem)
{
    start({&pedal});
    linkAndClear();
    find<QComboBox>("cmbAssignCtrlQUATTRO")->setCurrentText("High Notes Cut");
    EXPECT_EQ(prompt.messages, QStringList({"No tuning selected, Select a tuning before assigning this parameter"}));
    EXPECT_EQ(find<QComboBox>("cmbAssignCtrlQUATTRO")->currentIndex(), 0);
    EXPECT_FALSE(editor->session.effect.controlAssigned[3]);

    find<QComboBox>("cmbGuitarTuning")->setCurrentIndex(1);
    find<QComboBox>("cmbAssignCtrlQUATTRO")->setCurrentText("High Notes Cut");
    EXPECT_EQ(find<QComboBox>("cmbAssignCtrlQUATTRO")->currentText(), "High Notes Cut");
    EXPECT_TRUE(editor->session.effect.controlAssigned[3]);
}

TEST_F(EffectWindowTest, FootswitchModeIsSentAtOnce)
{
    start({&pedal});
    linkAndClear();
    click("btnSetFootswitchMode");
    find<QRadioButton>("chkChangePresetShortPress")->setChecked(true);
    find<QRadioButton>("chkBypassLongPress")->setChecked(true);
    click("btnSetFootswitchMode");
    EXPECT_EQ(sent(), QStringList({"08 00 00", "08 01 01"}));
    EXPECT_TRUE(logHas("footswitch behaviour message: 080101"));
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(EffectWindowTest, SaveParametersSendsTheSixAssignableValuesAfterTheQuestion)
{
    pedal.state().parameters[InputLevel] = 0x7FE000; // the dial's maximum, taken over unchanged
    pedal.state().parameters[Pitch] = 0x400000;
    pedal.state().parameters[DominantCut] = 1;
    pedal.state().tuning = 1;
    start({&pedal});
    linkAndClear();
    prompt.answers = {false, true};
    click("btnSaveParameters");
    EXPECT_TRUE(sent().isEmpty());
    click("btnSaveParameters");
    ASSERT_EQ(sent().size(), 1);
    EXPECT_EQ(sent()[0], "03 00 7F E0 00 00 40 00 00 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00 00");
    EXPECT_TRUE(logHas("Store settings message (HEX): 03007FE0000040000000000000000000010000000000000000"));
    EXPECT_TRUE(logHas("25"));
    EXPECT_EQ(prompt.messages.last(), "Save Parameters to pedal?");
}

TEST_F(EffectWindowTest, NotLinkedAClickOpensItWithItsControlsDisabled)
{
    start({});
    QListWidget *list = find<QListWidget>("lstEffects");
    list->setCurrentRow(0);
    emit list->itemClicked(list->item(0));
    ASSERT_TRUE(fx().isVisible());
    EXPECT_EQ(fx().windowTitle(), "Vadrelon MK3 0012[*]");
    EXPECT_FALSE(fx().isWindowModified());
    EXPECT_FALSE(find<DialWidget>("dialDry")->isEnabled());
    EXPECT_FALSE(find<QComboBox>("cmbAssignCtrlUNO")->isEnabled());
    auto *note = find<QLabel>("lblAddresses");
    EXPECT_TRUE(note->isVisible());
    EXPECT_TRUE(note->text().startsWith("Not linked:")) << note->text().toStdString();
    EXPECT_TRUE(logHas("selected effect name: Vadrelon MK3 0012"));
    EXPECT_TRUE(editor->session.parameters.addressesKnown()) << "from the shipped header";
    EXPECT_EQ(editor->session.parameters.Dry.address, 0x0025);
}

TEST_F(EffectWindowTest, LinkedAClickChecksThePedalsAlgorithm)
{
    for (quint16 version : {quint16(0x0011), quint16(0x0012), quint16(0x0013)}) {
        SCOPED_TRACE(version);
        sim::VirtualPedal p;
        p.state().algorithmVersion = version;
        start({&p});
        link();
        fx().close();
        prompt.messages.clear();
        emit find<QListWidget>("lstEffects")->itemClicked(find<QListWidget>("lstEffects")->item(0));
        const bool old = version < 0x0012;
        EXPECT_EQ(fx().isVisible(), !old);
        EXPECT_EQ(prompt.messages.size(), old ? 1 : 0);
        editor.reset();
        driver.detach(&p);
    }
}

TEST_F(EffectWindowTest, WithoutAnyAddressesTheParameterControlsStayDisabled)
{
    start({&pedal});
    editor->session.content.selectedEffectName = "Vadrelon MK3 0099";
    const std::optional<Error> reading = editor->session.readAddresses();
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->code, ErrorCode::AddressesUnreadable);
    fx().showAddressNote(errorText(*reading));
    fx().show();
    fx().setLinked(true);
    EXPECT_TRUE(find<QLabel>("lblAddresses")->isVisible());
    EXPECT_TRUE(find<QLabel>("lblAddresses")->text().contains("cannot be edited"));
    EXPECT_FALSE(find<DialWidget>("dialDry")->isEnabled());
    EXPECT_FALSE(find<QPushButton>("swtWave")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("swtBypass")->isEnabled());
    EXPECT_TRUE(find<QComboBox>("cmbGuitarTuning")->isEnabled());
}

TEST_F(EffectWindowTest, ArrowKeysMoveTheSelectionWithoutLoadingTheEffect)
{
    start({});
    QListWidget *list = find<QListWidget>("lstEffects");
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_TRUE(logHas("arrow up pressed"));
    EXPECT_TRUE(logHas("arrow down pressed"));
    EXPECT_TRUE(editor->session.content.selectedEffectName.isEmpty());
}
