// The firmware menu as a player uses it: into the bootloader and out of it, Erase Settings,
// and a pedal found waiting in its bootloader.
#include "editorfixture.h"

#include "device/d2xx.h"
#include "device/status.h"
#include "ui/editor.h"
#include "ui/firmwarewindow.h"

#include <QComboBox>
#include <QLabel>

using namespace vadrelon;

class FirmwareMenu : public test::EditorFixture {
public:
    QAction *mode() { return action("menuFirmwareUpgradeMode"); }
    bool evenParity() { return editor->session.link().transport().parity() == FT_PARITY_EVEN; }
};

TEST_F(FirmwareMenu, ARecentFirmwareIsAskedFirstThenEntersItsBootloader)
{
    linkAndClear();
    trigger("menuFirmwareUpgradeMode");
    EXPECT_EQ(
        prompt.messages,
        QStringList({"To enter Firmware Upgrade Mode keep SHIFT button on the pedal pressed while clicking YES."}));
    EXPECT_TRUE(sent().isEmpty()) << "No leaves the pedal as it was: not even the bypass";
    EXPECT_FALSE(mode()->isChecked());
    EXPECT_FALSE(editor->session.device.firmwareUpgradeMode);

    prompt.messages.clear();
    prompt.answers = {true};
    trigger("menuFirmwareUpgradeMode");
    ASSERT_TRUE(settle());
    EXPECT_EQ(sent(), QStringList({"0D 01", "05 00 01 02 03 04 05 06", "7F"}));
    const QList<sim::ReceivedMessage> got = pedal.received();
    ASSERT_EQ(got.size(), 3);
    EXPECT_GE(got[2].msecsSinceEpoch - got[1].msecsSinceEpoch, 10) << "the pedal restarts into its bootloader first";
    EXPECT_EQ(prompt.messages.last(), "Connection to bootloader succeeded. Release SHIFT button and go to Upgrade "
                                      "Firmware menu and click Start Firmware Upgrade.");
    EXPECT_TRUE(logHas("received Byte: 79"));
    EXPECT_EQ(editor->session.link().state(), LinkState::Bootloader);
    EXPECT_TRUE(mode()->isChecked());
    EXPECT_TRUE(enabled("menuStartFirmwareUpgrade"));
    for (const char *command : {"btnRequest", "btnUpload", "btnSaveParameters", "btnAssign", "btnSetFootswitchMode",
                                "btnSetTuning", "menuEraseSettings", "menuLoadPreset", "menuSavePreset",
                                "menuLoadAlgorithmFromFile", "menuUploadTuningsData"})
        EXPECT_FALSE(enabled(command)) << command << ": the bootloader does not understand it";
}

// Firmware 9 was the first to go into its bootloader when asked; an older one is linked again
// with SHIFT held, and the link greets its bootloader.
TEST_F(FirmwareMenu, OnlyFirmwareFromNineOnIsAskedIntoItsBootloader)
{
    for (const int firmware : {8, 9}) {
        SCOPED_TRACE(firmware);
        sim::VirtualPedal p;
        p.state().firmwareVersion = firmware;
        start({&p});
        link();
        p.clearReceived();
        prompt.messages.clear();
        trigger("menuFirmwareUpgradeMode");
        const bool asked = firmware >= 9;
        EXPECT_EQ(prompt.messages.size(), asked ? 1 : 0);
        EXPECT_EQ(editor->session.device.legacyUpgradeLink, !asked);
        EXPECT_TRUE(received(p).isEmpty());
        editor.reset();
        driver.detach(&p);
    }
}

// A greeting nobody answers must not leave the link at the bootloader's framing, where the
// running firmware understands nothing.
TEST_F(FirmwareMenu, AFailedGreetingPutsTheFramingBack)
{
    linkAndClear();
    pedal.faults().silent = true;
    prompt.answers = {true};
    trigger("menuFirmwareUpgradeMode");
    ASSERT_TRUE(settle());
    EXPECT_EQ(prompt.messages.last(), "Connection to bootloader failed");
    EXPECT_EQ(editor->session.link().state(), LinkState::Linked);
    EXPECT_FALSE(evenParity());
    EXPECT_FALSE(enabled("menuStartFirmwareUpgrade"));
}

TEST_F(FirmwareMenu, TurningTheModeOffSendsNothingAndClearsIt)
{
    start({&pedal}); // not linked: the version is not known, so the legacy path is taken
    trigger("menuFirmwareUpgradeMode");
    EXPECT_TRUE(mode()->isChecked());
    EXPECT_TRUE(editor->session.device.legacyUpgradeLink);
    EXPECT_TRUE(prompt.messages.isEmpty());
    trigger("menuFirmwareUpgradeMode");
    EXPECT_FALSE(mode()->isChecked());
    EXPECT_FALSE(editor->session.device.firmwareUpgradeMode);
    EXPECT_FALSE(editor->session.device.legacyUpgradeLink) << "a later link asks for the status again";
    link();
    EXPECT_EQ(sent(), QStringList({"02 00"}));
}

TEST_F(FirmwareMenu, TheLegacyPathGreetsAtTheLinkAndLeavingItEndsTheBootloaderLink)
{
    pedal.startInBootloader(); // powered up with SHIFT held
    start({&pedal});
    trigger("menuFirmwareUpgradeMode");
    trigger("menuConnect");
    ASSERT_TRUE(settle());
    EXPECT_EQ(sent(), QStringList({"7F"}));
    EXPECT_EQ(prompt.messages, QStringList({"Connection to bootloader succeeded, ready for firmware upgrade"}));
    EXPECT_TRUE(enabled("menuStartFirmwareUpgrade"));
    trigger("menuFirmwareUpgradeMode");
    EXPECT_FALSE(editor->session.link().isLinked()) << "nothing can go on at the bootloader's framing";
    EXPECT_EQ(sent(), QStringList({"7F"}));
}

// An upgrade that stopped half-way leaves the pedal in its bootloader; a plain Link finds it
// there and says how to finish.
TEST_F(FirmwareMenu, APlainLinkFindsAPedalWaitingInItsBootloader)
{
    pedal.startInBootloader();
    start({&pedal});
    link();
    EXPECT_EQ(sent(), QStringList({"7F"})) << "the status request at the firmware's framing means nothing to it";
    EXPECT_EQ(prompt.messages, QStringList({"The pedal is waiting in its bootloader, without working firmware. Choose "
                                            "Firmware Upgrade → Start Firmware Upgrade to install its firmware."}));
    EXPECT_EQ(editor->session.link().state(), LinkState::Bootloader);
    EXPECT_TRUE(enabled("menuStartFirmwareUpgrade"));
    trigger("menuStartFirmwareUpgrade");
    EXPECT_TRUE(editor->windows.firmware().isVisible());
    // This build carries no firmware image: the list says so and points to From File.
    EXPECT_EQ(find<QComboBox>("cmbFirmwareChoose")->currentText(), "No firmware built in: use From File…");
    EXPECT_FALSE(enabled("btnUpgradeFirmware"));
    EXPECT_TRUE(enabled("btnUpgradeFromFile"));
}

// A bootloader greeted before (an upgrade stopped, the editor closed) takes the status request
// for a command with a wrong complement and NACKs it: that NACK leads on to the greeting, not
// to a garbled reply and a window that offers what the bootloader cannot do.
TEST_F(FirmwareMenu, APlainLinkFindsAPedalGreetedBeforeInItsBootloader)
{
    pedal.startInBootloader();
    start({&pedal});
    trigger("menuFirmwareUpgradeMode");
    trigger("menuConnect");
    ASSERT_TRUE(settle());
    ASSERT_EQ(editor->session.link().state(), LinkState::Bootloader);
    trigger("menuFirmwareUpgradeMode"); // off: unlinks
    ASSERT_FALSE(editor->session.link().isLinked());
    pedal.clearReceived();
    prompt.messages.clear();

    link();
    EXPECT_EQ(sent(), QStringList({"02 00", "7F 7F"}));
    EXPECT_EQ(prompt.messages, QStringList({"The pedal is waiting in its bootloader, without working firmware. Choose "
                                            "Firmware Upgrade → Start Firmware Upgrade to install its firmware."}));
    EXPECT_EQ(editor->session.link().state(), LinkState::Bootloader);
    EXPECT_TRUE(enabled("menuStartFirmwareUpgrade"));
    EXPECT_TRUE(enabled("menuDisconnect"));
    for (const char *command : {"btnRequest", "btnUpload", "btnSaveParameters", "btnAssign", "btnSetFootswitchMode",
                                "btnSetTuning", "menuEraseSettings", "menuLoadPreset", "menuSavePreset",
                                "menuLoadAlgorithmFromFile", "menuUploadTuningsData"})
        EXPECT_FALSE(enabled(command)) << command << ": the bootloader does not understand it";
}

TEST_F(FirmwareMenu, ASilentPedalThatIsNoBootloaderEitherIsToldAsSilent)
{
    pedal.faults().silent = true;
    start({&pedal});
    link();
    EXPECT_EQ(prompt.messages, QStringList({"The pedal did not answer the status request. Check that it is powered "
                                            "and linked, then try again."}));
    EXPECT_FALSE(evenParity());
    EXPECT_EQ(editor->session.link().state(), LinkState::Linked);
}

TEST_F(FirmwareMenu, EraseSettingsAsksThenErasesTheSettingsMemory)
{
    linkAndClear();
    trigger("menuEraseSettings");
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages[0].startsWith("Are you sure you want to delete all settings?\r\nThis action"));
    EXPECT_TRUE(prompt.messages[0].endsWith("\r\n- click Save Parameters, Set Tuning, Assign"));
    EXPECT_TRUE(sent().isEmpty());
    prompt.answers = {true};
    trigger("menuEraseSettings");
    ASSERT_TRUE(settle());
    EXPECT_EQ(sent(), QStringList({"0B 50 00 00 00"}));
    EXPECT_TRUE(logHas("erase message: 0B50000000"));
}
