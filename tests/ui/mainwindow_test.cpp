#include "editorfixture.h"

#include "support/settings.h"
#include "support/waits.h"
#include "ui/consolewindow.h"
#include "ui/editor.h"
#include "ui/fxsettingswindow.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace vadrelon;
using vadrelon::test::EditorFixture;

namespace {

QString readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<missing>");
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

// Every control that needs a linked pedal, in the main window.
std::vector<bool> deviceCommandStates(TformMain &w)
{
    return {w.btnUpload->isEnabled(), w.btnRequest->isEnabled(), w.btnSaveParameters->isEnabled(),
            w.btnAssign->isEnabled(), w.btnSetFootswitchMode->isEnabled(), w.btnSetTuning->isEnabled(),
            w.menuMIDI->isEnabled(), w.menuUploadTuningsData->isEnabled(), w.menuLoadPreset->isEnabled(),
            w.menuSavePreset->isEnabled(), w.menuLoadAlgorithmFromFile->isEnabled(),
            w.menuInstrument->isEnabled()};
}

bool allAre(const std::vector<bool> &states, bool value)
{
    return std::all_of(states.begin(), states.end(), [&](bool s) { return s == value; });
}

} // namespace

class StartUp : public EditorFixture {};

TEST_F(StartUp, WithoutAPedalOffersScanOnly)
{
    start({});
    EXPECT_EQ(w().lblDeviceName->text(), "No device found");
    EXPECT_FALSE(w().menuConnect->isEnabled());
    EXPECT_TRUE(w().menuScan->isEnabled());
    EXPECT_FALSE(w().menuDisconnect->isEnabled());
    EXPECT_EQ(w().menuSerialNumber->text(), "Device Serial: ");
    EXPECT_TRUE(allAre(deviceCommandStates(w()), false));
    EXPECT_EQ(w().menuAppVersion->text(), "Editor Version:  1.15.0.0");
    EXPECT_EQ(w().windowTitle(), "Vadrelon Editor");
    EXPECT_EQ(w().minimumSize(), w().maximumSize()) << "the window must not be resizable";
    EXPECT_FALSE(w().windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(editor->formPrint->isVisible());
    EXPECT_FALSE(editor->formFXsettings->isVisible());
}

TEST_F(StartUp, FirstRunCreatesTheSettingsWithYes)
{
    start({});
    const QString product = docs.path() + "/NEROV/Vadrelon MK3/";
    EXPECT_EQ(readFile(product + "ReportUSBErrors.txt"), "YES");
    EXPECT_EQ(readFile(product + "ShowMessageVersionAtStartup.txt"), "YES");
    EXPECT_TRUE(w().menuReportUSBErrors->isChecked());
    EXPECT_TRUE(w().menuShowUpdateMsg->isChecked());
    EXPECT_TRUE(editor->transport.UsbErrorReporting);
}

TEST_F(StartUp, OnePedalIsReadyToLinkWithoutAQuestion)
{
    start({&pedal});
    EXPECT_EQ(w().lblDeviceName->text(), "Vadrelon MK3 (virtual)");
    EXPECT_EQ(w().menuSerialNumber->text(), "Device Serial: VP000001");
    EXPECT_TRUE(w().menuConnect->isEnabled());
    w().menuConnect->trigger();
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join('|').toStdString();
    EXPECT_TRUE(editor->device.DeviceLinked);
}

TEST_F(StartUp, TwoPedalsShowTheLastAndBothSerials)
{
    start({&pedal, &pedal2});
    EXPECT_EQ(w().lblDeviceName->text(), "Second pedal");
    EXPECT_EQ(w().menuSerialNumber->text(), "Device Serial: VP000001VP000002");
    EXPECT_EQ(editor->device.LinkSerialNumber, "VP000002");
}

class Linking : public EditorFixture {};

TEST_F(Linking, LinkAsksForTheStatusAndShowsTheVersions)
{
    start({&pedal});
    w().menuConnect->trigger();
    EXPECT_EQ(received(pedal), QStringList({"02 00"}));
    EXPECT_EQ(w().lblDeviceName->text(), "Vadrelon MK3 (virtual) linked");
    EXPECT_EQ(w().lblFirmwareVersion->text(), "Device Firmware: 11");
    EXPECT_EQ(w().lblAlgorithmVersion->text(), "Device Algorithm: 0012");
    EXPECT_FALSE(w().menuScan->isEnabled());
    EXPECT_FALSE(w().menuConnect->isEnabled());
    EXPECT_TRUE(w().menuDisconnect->isEnabled());
    EXPECT_TRUE(w().menuEraseSettings->isEnabled());
    EXPECT_TRUE(allAre(deviceCommandStates(w()), true));
    EXPECT_TRUE(w().Timer_USB_Read->isActive());
    for (const char *line : {"serial number: VP000001", "baud rate = 115200", "Firmware Version: 11",
                             "Algorithm version: 0012", "Most recent firmware: 11", "Effect Number: 00"})
        EXPECT_TRUE(logHas(line)) << line;
}

TEST_F(Linking, UnlinkReturnsToTheFoundStateAndLinkWorksAgain)
{
    start({&pedal});
    w().menuConnect->trigger();
    w().menuDisconnect->trigger();
    EXPECT_EQ(w().lblDeviceName->text(), "Vadrelon MK3 (virtual)");
    EXPECT_TRUE(w().menuScan->isEnabled());
    EXPECT_TRUE(w().menuConnect->isEnabled());
    EXPECT_FALSE(w().menuDisconnect->isEnabled());
    EXPECT_FALSE(w().btnRequest->isEnabled());
    EXPECT_FALSE(w().menuEraseSettings->isEnabled());
    EXPECT_FALSE(w().Timer_USB_Read->isActive());
    EXPECT_FALSE(editor->device.DeviceLinked);
    EXPECT_TRUE(w().menuBypassStatus->isEnabled()) << "Unlink leaves Bypass Status alone";

    w().menuConnect->trigger();
    EXPECT_EQ(w().lblDeviceName->text(), "Vadrelon MK3 (virtual) linked");
    EXPECT_EQ(received(pedal), QStringList({"02 00", "02 00"}));
}

TEST_F(Linking, ScanAsksAboutEveryPedalInOrder)
{
    start({&pedal, &pedal2});
    prompt.answers = {false, false};
    w().menuScan->trigger();
    EXPECT_EQ(prompt.messages, QStringList({"Vadrelon MK3 (virtual) found, link the device now?",
                                            "Second pedal found, link the device now?"}));
    EXPECT_EQ(editor->device.LinkSerialNumber, "VP000002");
    EXPECT_TRUE(w().menuConnect->isEnabled());
    EXPECT_FALSE(editor->device.DeviceLinked);
    EXPECT_TRUE(logHas("FT device count: 2"));
    EXPECT_TRUE(logHas("FT_Device_String: VP000001"));
}

TEST_F(Linking, YesInScanLinksThatPedal)
{
    start({&pedal, &pedal2});
    prompt.answers = {true, false};
    w().menuScan->trigger();
    EXPECT_EQ(received(pedal), QStringList({"02 00"}));
    EXPECT_TRUE(received(pedal2).isEmpty());
    EXPECT_TRUE(editor->device.DeviceLinked);
}

TEST_F(Linking, ScanWithoutPedalsSaysSo)
{
    start({});
    w().menuScan->trigger();
    EXPECT_EQ(prompt.messages, QStringList({"No device found"}));
    EXPECT_EQ(w().lblDeviceName->text(), "No device found");
}

TEST_F(Linking, AFailedOpenIsReportedOnlyWhenTheSettingSaysSo)
{
    for (const QByteArray &setting : {QByteArray("YES"), QByteArray("NO")}) {
        SCOPED_TRACE(setting.toStdString());
        QTemporaryDir folder;
        QDir().mkpath(folder.path() + "/NEROV/Vadrelon MK3");
        writeFile(folder.path() + "/NEROV/Vadrelon MK3/ReportUSBErrors.txt", setting);
        sim::InProcessDriver drv;
        sim::VirtualPedal gone;
        drv.attach(&gone);
        test::ScriptedPrompt answers;
        Editor e(drv, answers, folder.path());
        drv.detach(&gone);
        e.formMain->Link();
        const bool reported = answers.messages.contains("Open_USB_Device_By_Serial_Number - Device not found...");
        EXPECT_EQ(reported, setting == "YES");
        EXPECT_EQ(e.formMain->menuReportUSBErrors->isChecked(), setting == "YES");
        EXPECT_FALSE(e.device.DeviceLinked);
        EXPECT_EQ(e.formMain->lblDeviceName->text(), "Vadrelon MK3 (virtual)");
    }
}

TEST_F(Linking, UnplugWhileLinkedIsReportedOnceAndUnlinks)
{
    start({&pedal});
    w().menuConnect->trigger();
    prompt.messages.clear();
    pedal.unplug();
    ASSERT_TRUE(waitFor([&] { return !editor->device.DeviceLinked; }));
    QTest::qWait(200); // more ticks of the periodic read must not report it again
    EXPECT_EQ(prompt.messages.size(), 1) << prompt.messages.join('|').toStdString();
    EXPECT_TRUE(prompt.messages.value(0).contains("no longer connected"));
    EXPECT_TRUE(w().menuScan->isEnabled());
    EXPECT_FALSE(w().Timer_USB_Read->isActive());
    EXPECT_FALSE(w().btnRequest->isEnabled());
}

TEST_F(Linking, UpgradeModeHandshakeWithTheBootloader)
{
    pedal.startInBootloader();
    start({&pedal});
    editor->device.FirmwareUpgradeMode = true;
    editor->device.LegacyUpgradeLink = true;
    w().Link();
    EXPECT_TRUE(logHas("baud rate = 115200"));
    EXPECT_TRUE(logHas("received Byte: 79"));
    EXPECT_EQ(prompt.messages, QStringList({"Connection to bootloader succeeded, ready for firmware upgrade"}));
    EXPECT_TRUE(w().menuStartFirmwareUpgrade->isEnabled());
    EXPECT_FALSE(w().btnRequest->isEnabled());
    EXPECT_FALSE(w().btnUpload->isEnabled());
    EXPECT_TRUE(w().btnAssign->isEnabled());
    EXPECT_EQ(editor->transport.UsbParity, FT_PARITY_EVEN);
}

TEST_F(Linking, UpgradeModeWithoutABootloaderFails)
{
    start({&pedal}); // running firmware: it does not answer 0x7F
    editor->device.FirmwareUpgradeMode = true;
    editor->device.LegacyUpgradeLink = true;
    w().Link();
    EXPECT_EQ(prompt.messages, QStringList({"Connection to bootloader failed"}));
    EXPECT_FALSE(w().menuStartFirmwareUpgrade->isEnabled());
}

class StatusExchange : public EditorFixture {};

TEST_F(StatusExchange, OldFirmwareAsksForAnUpgradeAndDisablesEverything)
{
    pedal.state().firmwareVersion = 10;
    start({&pedal});
    w().menuConnect->trigger();
    ASSERT_EQ(prompt.messages.size(), 2);
    EXPECT_EQ(prompt.messages[0], "A firmware upgrade is required. Upgrade to Firmware 11");
    EXPECT_TRUE(prompt.messages[1].startsWith("If current firmware is below 9 follow legacy firmware upgrade mode:\r\n"
                                              "1) close editor application and disconnect pedal from USB\r\n"));
    EXPECT_TRUE(prompt.messages[1].endsWith("\r\n\r\nIf current firmware is 9 or above go to Firmware Upgrade menu and follow instructions."));
    EXPECT_TRUE(allAre(deviceCommandStates(w()), false));
    EXPECT_FALSE(w().Timer_USB_Read->isActive());
    EXPECT_EQ(w().lblFirmwareVersion->text(), "Device Firmware: 10");
}

TEST_F(StatusExchange, OldAlgorithmAsksForTheNewestAndStopsTheRead)
{
    pedal.state().algorithmVersion = 0x0011;
    start({&pedal});
    w().menuConnect->trigger();
    EXPECT_EQ(prompt.messages, QStringList({"Upload the latest version of Vadrelon MK3 algorithm:\r\nUpload Vadrelon MK3 0012"}));
    EXPECT_FALSE(editor->formFXsettings->isVisible());
    EXPECT_FALSE(w().Timer_USB_Read->isActive());
    EXPECT_TRUE(w().btnUpload->isEnabled());
}

TEST_F(StatusExchange, RepliesThatCannotBeTrustedLeaveTheWindowAsItWas)
{
    struct Case {
        const char *what;
        std::function<void(sim::VirtualPedal &)> fault;
        const char *words;
    };
    const Case cases[] = {
        {"silent pedal", [](sim::VirtualPedal &p) { p.faults().silent = true; }, "did not answer"},
        {"short reply", [](sim::VirtualPedal &p) { p.faults().cutReplyAfterBytes = 100; }, "incomplete"},
        {"garbled reply", [](sim::VirtualPedal &p) { p.faults().garbleReply = true; }, "status reply"},
        {"algorithm not BCD", [](sim::VirtualPedal &p) { p.state().algorithmVersion = 0x001A; }, "algorithm version"},
        {"effect above 9", [](sim::VirtualPedal &p) { p.state().effectNumber = 10; }, "effect number"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim::VirtualPedal p;
        start({&p});
        w().menuConnect->trigger();
        ASSERT_EQ(w().lblFirmwareVersion->text(), "Device Firmware: 11");
        prompt.messages.clear();
        c.fault(p);
        w().btnRequest->click();
        ASSERT_EQ(prompt.messages.size(), 1) << prompt.messages.join('|').toStdString();
        EXPECT_TRUE(prompt.messages[0].contains(c.words)) << prompt.messages[0].toStdString();
        EXPECT_EQ(w().lblFirmwareVersion->text(), "Device Firmware: 11");
        EXPECT_EQ(w().lblAlgorithmVersion->text(), "Device Algorithm: 0012");
        EXPECT_TRUE(w().btnRequest->isEnabled());
        EXPECT_TRUE(w().Timer_USB_Read->isActive()) << "linked and idle again";
        editor.reset();
        driver.detach(&p);
    }
}

TEST_F(StatusExchange, AReplySplitAcrossReadsIsGatheredWhole)
{
    setWaitScale(1.0); // the pause inside the reply is real time
    pedal.faults().splitReplyAtByte = 37;
    start({&pedal});
    w().menuConnect->trigger();
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join('|').toStdString();
    EXPECT_EQ(editor->device.StatusValues.size(), 90);
    EXPECT_EQ(w().lblAlgorithmVersion->text(), "Device Algorithm: 0012");
}

TEST_F(StatusExchange, OptionMarksFollowThePedal)
{
    struct Case {
        quint8 midi;
        int checkedChannel; // -1: none
        quint8 storage;
        bool store;
        quint8 instrument;
        bool guitar;
    };
    const Case cases[] = {
        {0, 0, 0, false, 255, true},
        {255, 0, 1, true, 186, false},
        {5, 5, 1, true, 255, true},
        {16, 16, 0, false, 186, false},
        {17, -1, 0, false, 255, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.midi);
        sim::VirtualPedal p;
        p.state().midiChannel = c.midi;
        p.state().bypassStorage = c.storage;
        p.state().instrument = c.instrument;
        start({&p});
        w().menuConnect->trigger();
        for (int i = 0; i < w().MidiChannelItems.size(); ++i)
            EXPECT_EQ(w().MidiChannelItems[i]->isChecked(), i == c.checkedChannel) << i;
        EXPECT_EQ(w().menuStoreBypassStatus->isChecked(), c.store);
        EXPECT_EQ(w().menuDoNotStoreBypassStatus->isChecked(), !c.store);
        EXPECT_EQ(w().menuGuitar->isChecked(), c.guitar);
        EXPECT_EQ(w().menuBass->isChecked(), !c.guitar);
        EXPECT_EQ(editor->device.InstrumentCode, c.instrument);
        EXPECT_TRUE(logHas(QStringLiteral("MIDI channel: %1").arg(c.midi)));
        editor.reset();
        driver.detach(&p);
    }
}

TEST_F(StatusExchange, AMemoryDumpIsListedWholeByThePeriodicRead)
{
    pedal.setLineRate(true); // the dump takes its real time and arrives over many ticks
    QByteArray eeprom(16384, '\0');
    for (int i = 0; i < eeprom.size(); ++i)
        eeprom[i] = static_cast<char>(i * 7);
    pedal.setEeprom(0x50, eeprom);
    start({&pedal});
    w().menuConnect->trigger();
    editor->transport.writeBytes(QByteArray::fromHex("0C5000000000"));
    ASSERT_TRUE(waitFor([&] { return logHas("16383: " + QString::number(quint8(16383 * 7), 16).toUpper().rightJustified(2, '0')); }, 10000));
    EXPECT_TRUE(logHas("0: 00"));
    EXPECT_TRUE(logHas("1: 07"));
    EXPECT_FALSE(log().join('\n').contains("incomplete"));
}

class Console : public EditorFixture {};

TEST_F(Console, CtrlShiftPOpensItAndNothingElseDoes)
{
    start({});
    w().show();
    QApplication::setActiveWindow(&w());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
    for (Qt::KeyboardModifiers mods : {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ControlModifier),
                                       Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
        QTest::keyClick(&w(), Qt::Key_P, mods);
        EXPECT_FALSE(editor->formPrint->isVisible());
    }
    QTest::keyClick(&w(), Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(editor->formPrint->isVisible());
}

TEST_F(Console, InfoTracesTheVersionEveryTime)
{
    start({});
    emit w().menuInfo->aboutToShow();
    emit w().menuInfo->aboutToShow();
    EXPECT_EQ(log().count("current app version: 1.15.0.0"), 2);
}

TEST_F(Console, ShowsTheLogAndFollowsScroll)
{
    start({});
    TformPrint &console = *editor->formPrint;
    console.show();
    for (int i = 0; i < 100; ++i)
        editor->log.ConsolePrint(QString::number(i));
    QScrollBar *bar = console.Memo1->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
    console.btnScrollTop->click();
    EXPECT_EQ(bar->value(), 0);
    console.CheckBox1->setChecked(false);
    editor->log.ConsolePrint("quiet");
    EXPECT_EQ(bar->value(), 0) << "with scroll off the view stays";
    console.CheckBox1->setChecked(true);
    editor->log.AppendLine("direct");
    EXPECT_EQ(bar->value(), 0) << "a direct line does not move the view";
    editor->log.ConsolePrint("");
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(console.Memo1->toPlainText().split('\n').last(), "");
    console.btnClear->click();
    EXPECT_TRUE(log().isEmpty());
    editor->log.ConsolePrint("first");
    EXPECT_EQ(console.Memo1->toPlainText(), "first");
}

class Settings : public EditorFixture {};

TEST_F(Settings, ReportUsbErrorsWritesItsFileOnlyWhileItExists)
{
    start({});
    const QString file = docs.path() + "/NEROV/Vadrelon MK3/ReportUSBErrors.txt";
    w().menuReportUSBErrors->trigger();
    EXPECT_FALSE(w().menuReportUSBErrors->isChecked());
    EXPECT_EQ(readFile(file), "NO");
    EXPECT_TRUE(editor->transport.UsbErrorReporting) << "the transport follows from the next start";

    QFile::remove(file);
    w().menuReportUSBErrors->trigger();
    EXPECT_TRUE(w().menuReportUSBErrors->isChecked());
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_FALSE(editor->settings.ReportUsbErrorsSetting);
}

TEST_F(Settings, ALookAppliesAtOnceAndAtTheNextStart)
{
    start({});
    const QString styleFile = docs.path() + "/NEROV/style.txt";
    EXPECT_FALSE(QFile::exists(styleFile));
    const QString look0 = qApp->styleSheet();
    EXPECT_FALSE(look0.isEmpty()) << "look 0 applies without a style.txt";
    w().menuLook->actions().at(3)->trigger();
    EXPECT_EQ(readFile(styleFile), "3");
    const QString look3 = qApp->styleSheet();
    EXPECT_NE(look3, look0);

    editor.reset();
    qApp->setStyleSheet(QString());
    start({});
    EXPECT_EQ(qApp->styleSheet(), look3);
}

TEST_F(Settings, StyleFileThatIsNotAWholeNumberFallsBackToLookZero)
{
    QDir().mkpath(docs.path() + "/NEROV");
    writeFile(docs.path() + "/NEROV/style.txt", "3\n");
    start({});
    const QString fallback = qApp->styleSheet();
    w().menuLook->actions().at(0)->trigger();
    EXPECT_EQ(qApp->styleSheet(), fallback);
}
