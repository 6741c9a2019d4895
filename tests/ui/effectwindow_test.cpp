#include "editorfixture.h"

#include "effect/dialmapping.h"
#include "ui/dialwidget.h"
#include "ui/editor.h"
#include "ui/fxsettingswindow.h"
#include "ui/mainwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace vadrelon;

namespace {

// The pedal's parameter values as it reports them, block order.
enum : int { Dry, SubMix, Minus1, Minus2, Wave, LowPass, HighPass, Harmonic, Split, Range, InputLevel,
             Pitch, Clip, DominantCut, HighCut, DryHpf };

} // namespace

class EffectWindow : public test::EditorFixture {
protected:
    TformFXsettings &fx() { return *editor->formFXsettings; }
    void link()
    {
        w().menuConnect->trigger();
        settle();
        pedal.clearReceived();
    }
    // Lets the send timer write what waits.
    void settle()
    {
        QTest::qWait(20);
        ASSERT_TRUE(waitFor([&] { return !fx().Timer1->isActive(); }));
    }
    QStringList sent() { return received(pedal); }
};

TEST_F(EffectWindow, LinkingOpensItFilledFromThePedal)
{
    sim::PedalState &s = pedal.state();
    s.parameters[Dry] = 0x3FC000;     // level 510: 91 degrees
    s.parameters[LowPass] = 12;       // step 12 of 24: 90 degrees
    s.parameters[HighPass] = 8;       // step 8 of 16: 89 degrees
    s.parameters[InputLevel] = 0x7FE000;
    s.parameters[Wave] = 0x400000;
    s.parameters[Split] = 1;
    s.parameters[Pitch] = 0x800000;   // "+12"
    s.parameters[HighCut] = 1;
    s.tuning = 1;
    s.semitones = -1;
    s.bypass = 1;
    s.footswitchMode = 3;
    s.assignFlags = {1, 0, 1, 0, 1};
    s.assignAddresses = {0x000A, 0xFFFF, 0x000C, 0xFFFF, 0xFFFE};
    start({&pedal});
    w().menuConnect->trigger();

    ASSERT_TRUE(fx().isVisible());
    EXPECT_EQ(fx().windowTitle(), "Vadrelon MK3 0012");
    EXPECT_EQ(fx().pos().x(), w().frameGeometry().right() + 1);
    EXPECT_EQ(fx().dialDry->angle(), 91);
    EXPECT_EQ(fx().dialLowPass->angle(), 90);
    EXPECT_EQ(fx().dialHighPass->angle(), 89);
    EXPECT_EQ(fx().dialInputLevel->angle(), -45);
    EXPECT_EQ(fx().dialSubMix->angle(), -135);
    EXPECT_TRUE(fx().swtWave->isChecked());
    EXPECT_TRUE(fx().swtSplit->isChecked());
    EXPECT_EQ(fx().cmbVariableWavePitch->currentText(), "+12");
    EXPECT_TRUE(fx().chkHighNoteCut->isChecked());
    EXPECT_FALSE(fx().chkDominantNoteCut->isChecked());
    EXPECT_EQ(fx().cmbGuitarTuning->currentText(), "Standard (EADGBE)");
    EXPECT_EQ(fx().cmbSemitonesVariation->currentText(), "-1");
    EXPECT_EQ(editor->effect.SemitoneVariation, -1);
    EXPECT_TRUE(fx().swtBypass->isChecked());
    EXPECT_TRUE(fx().chkChangePresetShortPress->isChecked());
    EXPECT_TRUE(fx().chkBypassLongPress->isChecked());
    EXPECT_EQ(fx().cmbAssignCtrlUNO->currentText(), "Input Level");
    EXPECT_EQ(fx().cmbAssignCtrlTRE->currentText(), "High Notes Cut") << "the pedal's tuning makes it valid";
    EXPECT_EQ(fx().cmbAssignRemote->currentText(), "Bypass");
    EXPECT_TRUE(editor->parameters.InputLevel.is_assigned);
    EXPECT_FALSE(editor->effect.RequestPending);
    EXPECT_TRUE(fx().dial1stHarmonic->isEnabled());
    EXPECT_TRUE(fx().swtWave->isEnabled());
    EXPECT_TRUE(logHas("Dry: \t003FC000"));
    EXPECT_TRUE(logHas("Footswitch Mode: 3"));
    EXPECT_TRUE(logHas("Semitones variation: FF"));
    // Low Pass stood elsewhere, so its handler took the dial's level over the reported step.
    EXPECT_EQ(editor->parameters.LowPass.value, 0x3FC000u);
}

TEST_F(EffectWindow, AStatusReplyEqualToWhatIsShownSendsNothing)
{
    pedal.state().parameters[Dry] = 0x3FC000;
    pedal.state().parameters[Wave] = 0x600000;
    pedal.state().parameters[Split] = 1;
    pedal.state().parameters[LowPass] = 12;
    start({&pedal});
    link();
    w().btnRequest->click();
    settle();
    EXPECT_EQ(sent(), QStringList({"02 00"}));
}

TEST_F(EffectWindow, ATurningKnobSendsAtMostOneMessagePerPeriodWithTheLastPosition)
{
    start({&pedal});
    link();
    for (int angle : {-120, -100, 180, 170, 160, 150, 140, 120, 100, 90})
        fx().dialDry->setAngle(angle);
    EXPECT_TRUE(sent().isEmpty()) << "nothing before the period ends";
    settle();
    EXPECT_EQ(sent(), QStringList({"01 00 25 00 3F C0 00"}));
    EXPECT_TRUE(logHas("Send Dry string (standard par): 010025003FC000"));
    EXPECT_EQ(editor->parameters.Dry.value, 0x3FC000u);
}

TEST_F(EffectWindow, TheWaitingDialMessageSurvivesOtherMessages)
{
    start({&pedal});
    link();
    fx().dialDry->setAngle(90);
    fx().swtSplit->setChecked(true); // written at once through the transmit buffer
    settle();
    EXPECT_EQ(sent(), QStringList({"01 00 EE 00 00 00 01", "01 00 25 00 3F C0 00"}));
}

TEST_F(EffectWindow, EachControlSendsItsMessage)
{
    struct Case {
        const char *what;
        std::function<void(TformFXsettings &)> act;
        QStringList bytes;
    };
    const Case cases[] = {
        {"dial into the dead sector", [](TformFXsettings &f) { f.dialDry->setAngle(-89); }, {"01 00 25 00 7F E0 00"}},
        {"Range has no address", [](TformFXsettings &f) { f.dialRange->setAngle(0); }, {"01 00 00 00 6A 80 00"}},
        {"pitch +12", [](TformFXsettings &f) { f.cmbVariableWavePitch->setCurrentIndex(24); }, {"01 00 78 00 80 00 00"}},
        {"Wave on", [](TformFXsettings &f) { f.swtWave->setChecked(true); }, {"01 00 02 00 40 00 00"}},
        {"Wave on then off", [](TformFXsettings &f) { f.swtWave->setChecked(true); f.swtWave->setChecked(false); },
         {"01 00 02 00 40 00 00", "01 00 02 00 60 00 00"}},
        {"Split on", [](TformFXsettings &f) { f.swtSplit->setChecked(true); }, {"01 00 EE 00 00 00 01"}},
        {"bypass on", [](TformFXsettings &f) { f.swtBypass->setChecked(true); }, {"0D 01"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim::VirtualPedal p;
        start({&p});
        w().menuConnect->trigger();
        settle();
        p.clearReceived();
        c.act(fx());
        settle();
        QTest::qWait(20);
        EXPECT_EQ(received(p), c.bytes);
        editor.reset();
        driver.detach(&p);
    }
    EXPECT_EQ(HarmonicPitchTable[24], 0x800000u);
}

TEST_F(EffectWindow, ANoteCutBoxNeedsATuning)
{
    start({&pedal});
    link();
    prompt.messages.clear();
    fx().chkDominantNoteCut->setChecked(true);
    EXPECT_EQ(prompt.messages, QStringList({"Set a tuning before using this parameter"}));
    EXPECT_FALSE(fx().chkDominantNoteCut->isChecked());
    EXPECT_EQ(editor->parameters.DominantNotesCut.value, 0u);
    EXPECT_EQ(sent(), QStringList({"01 00 1B 00 00 00 00"}));
    EXPECT_TRUE(logHas("write to DSP msg: 01001B00000000"));

    fx().cmbGuitarTuning->setCurrentIndex(2);
    fx().chkHighNoteCut->setChecked(true);
    EXPECT_EQ(sent().last(), "01 00 0C 00 00 00 01");
    EXPECT_EQ(editor->parameters.HighNotesCut.value, 1u);
}

TEST_F(EffectWindow, WhileARequestIsPendingTheControlsSendNothing)
{
    start({&pedal});
    link();
    editor->effect.RequestPending = true;
    fx().dialDry->setAngle(90);
    fx().cmbVariableWavePitch->setCurrentIndex(3);
    fx().chkHighNoteCut->setChecked(true);
    fx().swtBypass->setChecked(true);
    settle();
    EXPECT_TRUE(sent().isEmpty()) << sent().join('|').toStdString();
    EXPECT_EQ(editor->parameters.Dry.value, 0u);
    EXPECT_EQ(editor->parameters.HarmonicPitch.value, 0u);
}

TEST_F(EffectWindow, AssignAsksFirst)
{
    start({&pedal});
    link();
    fx().cmbAssignCtrlUNO->setCurrentText("Input Level");
    fx().cmbAssignRemote->setCurrentText("Bypass");
    prompt.answers = {false, true};
    w().btnAssign->click();
    EXPECT_TRUE(sent().isEmpty());
    w().btnAssign->click();
    EXPECT_EQ(sent(), QStringList({"04 01 00 00 00 01 00 0A FF FF FF FF FF FF FF FE"}));
    EXPECT_EQ(prompt.messages, QStringList({"Upload Assignments?", "Upload Assignments?"}));
    EXPECT_TRUE(logHas("lenght of assign message in bytes: 16"));
    EXPECT_TRUE(w().btnAssign->isEnabled());
}

TEST_F(EffectWindow, NoteCutAssignmentsNeedATuningWhenTheUserChoosesThem)
{
    start({&pedal});
    link();
    fx().cmbAssignCtrlQUATTRO->setCurrentText("High Notes Cut");
    EXPECT_EQ(prompt.messages, QStringList({"No tuning selected, Select a tuning before assigning this parameter"}));
    EXPECT_EQ(fx().cmbAssignCtrlQUATTRO->currentIndex(), 0);
    EXPECT_FALSE(editor->effect.ControlAssigned[3]);

    editor->effect.RequestPending = true;
    fx().cmbAssignCtrlQUATTRO->setCurrentText("High Notes Cut");
    EXPECT_EQ(fx().cmbAssignCtrlQUATTRO->currentText(), "High Notes Cut");
    EXPECT_TRUE(editor->effect.ControlAssigned[3]);
}

TEST_F(EffectWindow, FootswitchModeIsSentAtOnce)
{
    start({&pedal});
    link();
    w().btnSetFootswitchMode->click();
    fx().chkChangePresetShortPress->setChecked(true);
    fx().chkBypassLongPress->setChecked(true);
    w().btnSetFootswitchMode->click();
    EXPECT_EQ(sent(), QStringList({"08 00 00", "08 01 01"}));
    EXPECT_TRUE(logHas("footswitch behaviour message: 080101"));
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(EffectWindow, SaveParametersSendsTheSixAssignableValuesAfterTheQuestion)
{
    pedal.state().parameters[InputLevel] = 0x7FE000; // the dial's maximum, taken over unchanged
    pedal.state().parameters[Pitch] = 0x400000;
    pedal.state().parameters[DominantCut] = 1;
    pedal.state().tuning = 1;
    start({&pedal});
    link();
    prompt.answers = {false, true};
    w().btnSaveParameters->click();
    EXPECT_TRUE(sent().isEmpty());
    w().btnSaveParameters->click();
    ASSERT_EQ(sent().size(), 1);
    EXPECT_EQ(sent()[0], "03 00 7F E0 00 00 40 00 00 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00 00");
    EXPECT_TRUE(logHas("Store settings message (HEX): 03007FE0000040000000000000000000010000000000000000"));
    EXPECT_TRUE(logHas("25"));
    EXPECT_EQ(prompt.messages.last(), "Save Parameters to pedal?");
}

TEST_F(EffectWindow, NotLinkedAClickOpensItWithItsControlsDisabled)
{
    start({});
    QListWidget *list = w().lstEffects;
    list->setCurrentRow(0);
    emit list->itemClicked(list->item(0));
    ASSERT_TRUE(fx().isVisible());
    EXPECT_EQ(fx().windowTitle(), "Vadrelon MK3 0012");
    EXPECT_FALSE(fx().dialDry->isEnabled());
    EXPECT_FALSE(fx().cmbAssignCtrlUNO->isEnabled());
    EXPECT_TRUE(logHas("selected effect name: Vadrelon MK3 0012"));
    EXPECT_TRUE(editor->parameters.addressesKnown()) << "from the shipped header";
    EXPECT_EQ(editor->parameters.Dry.address, 0x0025);
}

TEST_F(EffectWindow, LinkedAClickChecksThePedalsAlgorithm)
{
    for (quint16 version : {quint16(0x0011), quint16(0x0012), quint16(0x0013)}) {
        SCOPED_TRACE(version);
        sim::VirtualPedal p;
        p.state().algorithmVersion = version;
        start({&p});
        w().menuConnect->trigger();
        fx().close();
        prompt.messages.clear();
        emit w().lstEffects->itemClicked(w().lstEffects->item(0));
        const bool old = version < 0x0012;
        EXPECT_EQ(fx().isVisible(), !old);
        EXPECT_EQ(prompt.messages.size(), old ? 1 : 0);
        editor.reset();
        driver.detach(&p);
    }
}

TEST_F(EffectWindow, WithoutAnyAddressesTheParameterControlsStayDisabled)
{
    start({&pedal});
    editor->content.SelectedEffectName = "Vadrelon MK3 0099";
    w().OpenEffectWindow();
    fx().EnableEffectControls(true);
    EXPECT_TRUE(fx().lblAddresses->isVisible());
    EXPECT_TRUE(fx().lblAddresses->text().contains("cannot be edited"));
    EXPECT_FALSE(fx().dialDry->isEnabled());
    EXPECT_FALSE(fx().swtWave->isEnabled());
    EXPECT_TRUE(fx().swtBypass->isEnabled());
    EXPECT_TRUE(fx().cmbGuitarTuning->isEnabled());
}

TEST_F(EffectWindow, ArrowKeysMoveTheSelectionWithoutLoadingTheEffect)
{
    start({});
    QListWidget *list = w().lstEffects;
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_TRUE(logHas("arrow up pressed"));
    EXPECT_TRUE(logHas("arrow down pressed"));
    EXPECT_TRUE(editor->content.SelectedEffectName.isEmpty());
}
