#include "editorfixture.h"

#include "device/jobs.h"
#include "support/settings.h"
#include "ui/consolewindow.h"
#include "ui/dialwidget.h"
#include "ui/editor.h"
#include "ui/effectwindow.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
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

// The device commands, and those that stay disabled in these tests: Start Firmware Upgrade
// needs a link to the bootloader, Update Now a newer release on the update server. Guitar and Bass follow their menu;
// Upgrade Mode is there whenever no exchange runs, as the way out of an old firmware.
const char *const kDeviceCommands[] = {"btnUpload",
                                       "btnRequest",
                                       "btnSaveParameters",
                                       "btnAssign",
                                       "btnSetFootswitchMode",
                                       "btnSetTuning",
                                       "menuMIDI",
                                       "menuInstrument",
                                       "menuBypassStatus",
                                       "menuLoadPreset",
                                       "menuSavePreset",
                                       "menuLoadAlgorithmFromFile",
                                       "menuUploadTuningsData",
                                       "menuEraseSettings"};
const char *const kLaterCommands[] = {"menuStartFirmwareUpgrade", "menuUpdateNow"};

} // namespace

class Fixture : public EditorFixture {
protected:
    // Names of the device commands whose enabled state is not `value`.
    QStringList commandsNot(bool value)
    {
        QStringList out;
        for (const char *name : kDeviceCommands)
            if (enabled(name) != value)
                out << name;
        for (const char *name : kLaterCommands)
            if (enabled(name))
                out << name;
        return out;
    }
    QString text(const char *label) { return find<QLabel>(label)->text(); }
    // Whether the editor reads what the pedal sends unasked.
    bool periodicReadRuns(sim::VirtualPedal &p)
    {
        const int before = log().count("num of bytes read: 3");
        emit p.toHost("abc");
        return waitFor([&] { return log().count("num of bytes read: 3") > before; }, 300);
    }
    bool periodicReadRuns() { return periodicReadRuns(pedal); }
};

class StartUp : public Fixture {};

TEST_F(StartUp, WithoutAPedalOffersScanOnly)
{
    start({});
    EXPECT_EQ(text("lblDeviceName"), "No device found");
    EXPECT_FALSE(enabled("menuConnect"));
    EXPECT_TRUE(enabled("menuScan"));
    EXPECT_FALSE(enabled("menuDisconnect"));
    EXPECT_EQ(action("menuSerialNumber")->text(), "Device Serial: ");
    EXPECT_TRUE(commandsNot(false).isEmpty());
    EXPECT_EQ(action("menuAppVersion")->text(), "Editor Version:  1.15.0.0");
    EXPECT_EQ(w().windowTitle(), "Vadrelon Editor");
    EXPECT_EQ(w().minimumSize(), w().maximumSize()) << "the window must not be resizable";
    EXPECT_FALSE(w().windowFlags() & Qt::WindowMaximizeButtonHint);
    // The side windows wait until they are needed.
    EXPECT_FALSE(editor->windows.builtConsole());
    EXPECT_FALSE(editor->windows.builtEffect());
    EXPECT_FALSE(editor->windows.builtFirmware());
}

TEST_F(StartUp, FirstRunCreatesTheSettingsWithYes)
{
    start({});
    const QString product = docs.path() + "/NEROV/Vadrelon MK3/";
    EXPECT_EQ(readFile(product + "ReportUSBErrors.txt"), "YES");
    EXPECT_EQ(readFile(product + "ShowMessageVersionAtStartup.txt"), "YES");
    EXPECT_TRUE(action("menuReportUSBErrors")->isChecked());
    EXPECT_TRUE(action("menuShowUpdateMsg")->isChecked());
}

TEST_F(StartUp, OnePedalIsReadyToLinkWithoutAQuestion)
{
    start({&pedal});
    EXPECT_EQ(text("lblDeviceName"), "Vadrelon MK3 (virtual)");
    EXPECT_EQ(action("menuSerialNumber")->text(), "Device Serial: VP000001");
    EXPECT_TRUE(enabled("menuConnect"));
    trigger("menuConnect");
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join('|').toStdString();
    EXPECT_TRUE(editor->session.link().isLinked());
}

TEST_F(StartUp, TwoPedalsShowTheLastAndBothSerials)
{
    start({&pedal, &pedal2});
    EXPECT_EQ(text("lblDeviceName"), "Second pedal");
    EXPECT_EQ(action("menuSerialNumber")->text(), "Device Serial: VP000001VP000002");
    EXPECT_EQ(editor->session.device.linkSerialNumber, "VP000002");
}

// The status line says what just happened: where to go from a pedal found, then linked, read,
// stored, unlinked.
TEST_F(StartUp, TheStatusLineSaysWhatJustHappened)
{
    start({});
    EXPECT_EQ(text("lblStatus"), "Status: no pedal found");
    editor.reset();
    start({&pedal});
    EXPECT_EQ(text("lblStatus"), "Status: Connection → Link");
    EXPECT_TRUE(find<QLabel>("lblStatus")->toolTip().contains("Connection → Link"));
    link();
    EXPECT_EQ(text("lblStatus"), "Status: settings read");
    prompt.answers = {true};
    find<QPushButton>("btnSaveParameters")->click();
    ASSERT_TRUE(settle());
    EXPECT_EQ(text("lblStatus"), "Status: parameters stored");
    trigger("menuDisconnect");
    EXPECT_EQ(text("lblStatus"), "Status: not linked");
}

class Linking : public Fixture {};

TEST_F(Linking, LinkAsksForTheStatusAndShowsTheVersions)
{
    start({&pedal});
    link();
    EXPECT_EQ(received(pedal), QStringList({"02 00"}));
    EXPECT_EQ(text("lblDeviceName"), "Vadrelon MK3 (virtual) linked");
    EXPECT_EQ(text("lblFirmwareVersion"), "Device Firmware: 11");
    EXPECT_EQ(text("lblAlgorithmVersion"), "Device Algorithm: 0012");
    EXPECT_FALSE(enabled("menuScan"));
    EXPECT_FALSE(enabled("menuConnect"));
    EXPECT_TRUE(enabled("menuDisconnect"));
    EXPECT_EQ(commandsNot(true), QStringList());
    EXPECT_TRUE(periodicReadRuns());
    for (const char *line : {"serial number: VP000001", "baud rate = 115200", "Firmware Version: 11",
                             "Algorithm version: 0012", "Most recent firmware: 11", "Effect Number: 00"})
        EXPECT_TRUE(logHas(line)) << line;
}

TEST_F(Linking, WhileAnExchangeRunsTheDeviceCommandsAreDisabled)
{
    pedal.faults().silent = true;
    start({&pedal});
    trigger("menuConnect");
    ASSERT_TRUE(waitFor([&] { return received(pedal) == QStringList({"02 00"}); }));
    EXPECT_TRUE(editor->session.link().busy());
    EXPECT_EQ(commandsNot(false), QStringList());
    EXPECT_FALSE(enabled("menuDisconnect"));
    ASSERT_TRUE(settle());
    EXPECT_EQ(commandsNot(true), QStringList()) << "enabled again when the request gave up";
}

TEST_F(Linking, UnlinkReturnsToTheFoundStateAndLinkWorksAgain)
{
    start({&pedal});
    link();
    trigger("menuDisconnect");
    EXPECT_EQ(text("lblDeviceName"), "Vadrelon MK3 (virtual)");
    EXPECT_TRUE(enabled("menuScan"));
    EXPECT_TRUE(enabled("menuConnect"));
    EXPECT_FALSE(enabled("menuDisconnect"));
    EXPECT_EQ(commandsNot(false), QStringList());
    EXPECT_FALSE(periodicReadRuns());
    EXPECT_FALSE(editor->session.link().isLinked());

    link();
    EXPECT_EQ(text("lblDeviceName"), "Vadrelon MK3 (virtual) linked");
    EXPECT_EQ(received(pedal), QStringList({"02 00", "02 00"}));
}

TEST_F(Linking, UnlinkEndsUnlinkedEvenWhenThePortIsAlreadyGone)
{
    start({&pedal});
    link();
    prompt.messages.clear();
    driver.close(editor->session.link().transport().handle()); // the port went away under the editor
    trigger("menuDisconnect");
    EXPECT_FALSE(editor->session.link().isLinked());
    EXPECT_TRUE(enabled("menuConnect"));
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join('|').toStdString();
    link();
}

TEST_F(Linking, ScanAsksAboutEveryPedalInOrder)
{
    start({&pedal, &pedal2});
    prompt.answers = {false, false};
    trigger("menuScan");
    EXPECT_EQ(prompt.messages, QStringList({"Vadrelon MK3 (virtual) found, link the device now?",
                                            "Second pedal found, link the device now?"}));
    EXPECT_EQ(editor->session.device.linkSerialNumber, "VP000002");
    EXPECT_TRUE(enabled("menuConnect"));
    EXPECT_FALSE(editor->session.link().isLinked());
    EXPECT_TRUE(logHas("FT device count: 2"));
    EXPECT_TRUE(logHas("FT_Device_String: VP000001"));
}

TEST_F(Linking, YesInScanLinksThatPedalAndEndsTheScan)
{
    start({&pedal, &pedal2});
    prompt.answers = {true, true};
    trigger("menuScan");
    ASSERT_TRUE(settle());
    EXPECT_EQ(prompt.messages, QStringList({"Vadrelon MK3 (virtual) found, link the device now?"}));
    EXPECT_EQ(received(pedal), QStringList({"02 00"}));
    EXPECT_TRUE(received(pedal2).isEmpty());
    EXPECT_TRUE(editor->session.link().isLinked());
}

TEST_F(Linking, ScanWithoutPedalsSaysSo)
{
    start({});
    trigger("menuScan");
    EXPECT_EQ(prompt.messages, QStringList({"No device found"}));
    EXPECT_EQ(text("lblDeviceName"), "No device found");
}

TEST_F(Linking, AFailedOpenGivesOneMessageAndNothingElse)
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
        Editor e(drv, answers, folder.path(), timing);
        drv.detach(&gone);
        e.mainWindow->findChild<QAction *>("menuConnect")->trigger();
        waitFor([&] { return !e.link.busy(); });
        EXPECT_EQ(answers.messages, QStringList({"Open_USB_Device_By_Serial_Number - Device not found..."}));
        EXPECT_EQ(e.mainWindow->findChild<QAction *>("menuReportUSBErrors")->isChecked(), setting == "YES");
        EXPECT_FALSE(e.link.isLinked());
        EXPECT_EQ(e.mainWindow->findChild<QLabel *>("lblDeviceName")->text(), "Vadrelon MK3 (virtual)");
        EXPECT_TRUE(gone.received().isEmpty());
    }
}

TEST_F(Linking, AnUnplugIsReportedOnceWhateverRuns)
{
    struct Case {
        const char *what;
        std::function<void(Fixture &, sim::VirtualPedal &)> during;
    };
    const Case cases[] = {
        {"idle", [](Fixture &, sim::VirtualPedal &) {}},
        {"status request",
         [](Fixture &f, sim::VirtualPedal &p) {
             p.faults().answerDelayMs = 2000;
             f.click("btnRequest");
         }},
        {"the middle of a reply",
         [](Fixture &f, sim::VirtualPedal &p) {
             p.faults().silent = true;
             f.click("btnRequest");
             emit p.toHost(sim::buildStatusReply(p.state()).left(100));
         }},
        {"save parameters",
         [](Fixture &f, sim::VirtualPedal &) {
             f.prompt.answers = {true};
             f.click("btnSaveParameters");
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim::VirtualPedal p;
        start({&p});
        link();
        prompt.messages.clear();
        c.during(*this, p);
        ASSERT_TRUE(editor->session.link().busy() || std::string(c.what) == "idle");
        prompt.messages.clear();
        p.unplug();
        ASSERT_TRUE(waitFor([&] { return !editor->session.link().isLinked() && !editor->session.link().busy(); }));
        QTest::qWait(200); // more ticks of the periodic read must not report it again
        EXPECT_EQ(prompt.messages,
                  QStringList({"The pedal is no longer connected. Plug it in again and choose Connection → Link."}));
        EXPECT_TRUE(enabled("menuScan"));
        EXPECT_FALSE(enabled("btnRequest"));
        EXPECT_EQ(text("lblDeviceName"), "Vadrelon MK3 (virtual)");
        editor.reset();
        driver.detach(&p);
    }
}

TEST_F(Linking, UpgradeModeGreetsTheBootloaderAndAsksItNothingElse)
{
    pedal.startInBootloader();
    start({&pedal});
    editor->session.device.firmwareUpgradeMode = true;
    link();
    EXPECT_TRUE(logHas("baud rate = 115200"));
    EXPECT_TRUE(logHas("received Byte: 79"));
    EXPECT_EQ(prompt.messages, QStringList({"Connection to bootloader succeeded, ready for firmware upgrade"}));
    EXPECT_EQ(received(pedal), QStringList({"7F"})) << "no status request goes to a bootloader";
    EXPECT_EQ(editor->session.link().state(), LinkState::Bootloader);
    EXPECT_FALSE(enabled("btnRequest"));
    EXPECT_FALSE(enabled("btnUpload"));
    EXPECT_FALSE(enabled("btnAssign")) << "the bootloader understands none of the device commands";
    EXPECT_EQ(editor->session.link().transport().parity(), FT_PARITY_EVEN);

    trigger("menuDisconnect");
    editor->session.device.firmwareUpgradeMode = false;
    // A normal link starts at no parity; the pedal, still in its bootloader, does not answer the
    // status request, and the greeting finds it there again.
    trigger("menuConnect");
    ASSERT_TRUE(settle());
    EXPECT_EQ(editor->session.link().state(), LinkState::Bootloader);
    EXPECT_EQ(editor->session.link().transport().parity(), FT_PARITY_EVEN);
}

TEST_F(Linking, UpgradeModeWithoutABootloaderFails)
{
    start({&pedal}); // running firmware: it does not answer 0x7F
    editor->session.device.firmwareUpgradeMode = true;
    link();
    EXPECT_EQ(prompt.messages, QStringList({"Connection to bootloader failed"}));
    EXPECT_EQ(editor->session.link().state(), LinkState::Linked);
    EXPECT_FALSE(received(pedal).contains("02 00"));
}

class StatusExchange : public Fixture {};

TEST_F(StatusExchange, OldFirmwareAsksForAnUpgradeAndDisablesEverything)
{
    pedal.state().firmwareVersion = 10;
    start({&pedal});
    link();
    ASSERT_EQ(prompt.messages.size(), 2);
    EXPECT_EQ(prompt.messages[0], "A firmware upgrade is required. Upgrade to Firmware 11");
    EXPECT_TRUE(prompt.messages[1].startsWith("If current firmware is below 9 follow legacy firmware upgrade mode:\r\n"
                                              "1) close editor application and disconnect pedal from USB\r\n"));
    EXPECT_TRUE(prompt.messages[1].endsWith(
        "\r\n\r\nIf current firmware is 9 or above go to Firmware Upgrade menu and follow instructions."));
    EXPECT_EQ(commandsNot(false), QStringList());
    EXPECT_TRUE(enabled("menuDisconnect"));
    EXPECT_EQ(text("lblFirmwareVersion"), "Device Firmware: 10");
}

TEST_F(StatusExchange, OldAlgorithmAsksForTheNewest)
{
    pedal.state().algorithmVersion = 0x0011;
    start({&pedal});
    link();
    EXPECT_EQ(prompt.messages,
              QStringList({"Upload the latest version of Vadrelon MK3 algorithm:\r\nUpload Vadrelon MK3 0012"}));
    EXPECT_FALSE(editor->windows.effect().isVisible());
    EXPECT_TRUE(enabled("btnUpload"));
}

// A reply that cannot be trusted is refused whole: one message, the windows as they were,
// nothing sent to the pedal, and the effect window as live as before.
TEST_F(StatusExchange, RepliesThatCannotBeTrustedChangeNothing)
{
    struct Case {
        const char *what;
        std::function<void(sim::VirtualPedal &)> fault;
        const char *message;
    };
    const Case cases[] = {
        {"silent pedal", [](sim::VirtualPedal &p) { p.faults().silent = true; },
         "The pedal did not answer the status request. Check that it is powered and linked, then try again."},
        {"short reply", [](sim::VirtualPedal &p) { p.faults().cutReplyAfterBytes = 100; },
         "The pedal's answer was incomplete (25 of 90 values). Check the cable and press Request to try again."},
        {"garbled digits", [](sim::VirtualPedal &p) { p.faults().garbleReplyDigits = true; },
         "The pedal's answer was garbled (value 1 was \"kh\"). Press Request to try again."},
        {"garbled bytes without framing", [](sim::VirtualPedal &p) { p.faults().garbleReply = true; },
         "The pedal's answer was garbled (value 1 was \"khWPjWPk…\"). Press Request to try again."},
        {"only 60 values", [](sim::VirtualPedal &p) { p.faults().replyValueCount = 60; },
         "The pedal's answer was incomplete (60 of 90 values). Check the cable and press Request to try again."},
        {"a value of -1",
         [](sim::VirtualPedal &p) {
             p.faults().replyValueTexts = {{25, "-1"}};
         },
         "The pedal's answer was garbled (value 26 was \"-1\"). Press Request to try again."},
        {"a firmware of x1",
         [](sim::VirtualPedal &p) {
             p.faults().replyValueTexts = {{0, "x1"}};
         },
         "The pedal's answer was garbled (value 1 was \"x1\"). Press Request to try again."},
        {"a value above 255",
         [](sim::VirtualPedal &p) {
             p.faults().replyValueTexts = {{40, "300"}};
         },
         "The pedal's answer was garbled (value 41 was \"300\"). Press Request to try again."},
        {"a stray CR LF first", [](sim::VirtualPedal &p) { p.faults().replyPrefix = "\r\n"; },
         "The pedal's answer was garbled (value 1 was \"\"). Press Request to try again."},
        {"no answer to a second request", [](sim::VirtualPedal &p) { p.faults().statusRequestsAnswered = 1; },
         "The pedal did not answer the status request. Check that it is powered and linked, then try again."},
        {"a late answer", [](sim::VirtualPedal &p) { p.faults().answerDelayMs = 400; },
         "The pedal did not answer the status request. Check that it is powered and linked, then try again."},
        {"algorithm not BCD", [](sim::VirtualPedal &p) { p.state().algorithmVersion = 0x001A; },
         "The pedal reported an algorithm version that is not valid (001A)."},
        {"effect beyond the catalogue", [](sim::VirtualPedal &p) { p.state().effectNumber = 1; },
         "The pedal reported an effect number that is not valid (01)."},
        {"effect above 9", [](sim::VirtualPedal &p) { p.state().effectNumber = 10; },
         "The pedal reported an effect number that is not valid (0A)."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim::VirtualPedal p;
        p.state().parameters[0] = 0x3FC000; // Dry at 91 degrees
        start({&p});
        link();
        ASSERT_EQ(text("lblFirmwareVersion"), "Device Firmware: 11");
        prompt.messages.clear();
        p.clearReceived();
        p.state().parameters[0] = 0; // what a trusted reply would now move the knob to
        p.state().firmwareVersion = 12;
        c.fault(p);
        click("btnRequest");
        ASSERT_TRUE(settle());
        EXPECT_EQ(prompt.messages, QStringList({c.message}));
        EXPECT_EQ(text("lblFirmwareVersion"), "Device Firmware: 11");
        EXPECT_EQ(text("lblAlgorithmVersion"), "Device Algorithm: 0012");
        EXPECT_EQ(find<DialWidget>("dialDry")->angle(), 91);
        QTest::qWait(150);
        EXPECT_EQ(received(p), QStringList({"02 00"})) << "nothing sent but the request";
        EXPECT_TRUE(enabled("btnRequest"));
        EXPECT_TRUE(periodicReadRuns(p)) << "linked and idle again";
        p.clearReceived();
        find<DialWidget>("dialDry")->setAngle(0);
        ASSERT_TRUE(waitFor([&] { return !editor->session.link().hasPacedMessage(); }));
        EXPECT_EQ(received(p), QStringList({"01 00 25 00 6A 80 00"})) << "the effect window is still live";
        editor.reset();
        driver.detach(&p);
    }
}

// A later firmware may append values to its reply: what follows the 90th is traced, not held
// against the reply.
TEST_F(StatusExchange, WhatFollowsTheNinetiethValueIsTracedAndTheReplyTaken)
{
    for (const char *suffix : {"7\r\n", "\r\n", "OK\r\n"}) {
        SCOPED_TRACE(suffix);
        sim::VirtualPedal p;
        start({&p});
        link();
        prompt.messages.clear();
        p.state().parameters[0] = 0x3FC000; // Dry at 91 degrees
        p.state().firmwareVersion = 12;
        p.faults().replySuffix = suffix;
        click("btnRequest");
        ASSERT_TRUE(settle());
        EXPECT_EQ(prompt.messages, QStringList());
        EXPECT_EQ(text("lblFirmwareVersion"), "Device Firmware: 12");
        EXPECT_EQ(find<DialWidget>("dialDry")->angle(), 91);
        EXPECT_TRUE(logHas(QStringLiteral("bytes after the reply's 90 values, ignored: ") +
                           QString::fromLatin1(QByteArray(suffix).toHex().toUpper())));
    }
}

// After a status read that failed, the window's values are not the pedal's: storing them
// would wipe what the pedal holds.
TEST_F(StatusExchange, CommandsThatStoreTheWindowsValuesWaitForAReadOfThePedal)
{
    const QString refused = "The pedal's settings have not been read since it was linked, so the editor does not "
                            "know what it would store. Press Request, then try again.";
    for (const char *button : {"btnSaveParameters", "btnAssign", "btnSetFootswitchMode"}) {
        SCOPED_TRACE(button);
        sim::VirtualPedal p;
        p.faults().silent = true;
        start({&p});
        link();
        prompt.messages.clear();
        p.clearReceived();
        prompt.answers = {true};
        click(button);
        ASSERT_TRUE(settle());
        EXPECT_EQ(prompt.messages, QStringList({refused})) << "refused before any question";
        EXPECT_TRUE(received(p).isEmpty());

        p.faults().silent = false;
        click("btnRequest");
        ASSERT_TRUE(settle());
        prompt.messages.clear();
        prompt.answers = {true};
        click(button);
        ASSERT_TRUE(settle());
        EXPECT_EQ(received(p).size(), 2) << "the request, then the command";
        EXPECT_FALSE(prompt.messages.contains(refused));

        trigger("menuDisconnect");
        p.faults().silent = true;
        link(); // a new link whose read fails: what was read before does not count
        prompt.messages.clear();
        click(button);
        EXPECT_EQ(prompt.messages, QStringList({refused}));
        editor.reset();
        driver.detach(&p);
    }
}

TEST_F(StatusExchange, AReplySplitAcrossReadsIsGatheredWhole)
{
    timing.scale = 1.0; // the reply's gaps are real time
    for (int at : {1, 37, 200, 359}) {
        SCOPED_TRACE(at);
        sim::VirtualPedal p;
        p.faults().answerDelayMs = 250; // after the request's pause: the pieces are gathered
        p.faults().splitReplyAtBytes = {at, at + 2};
        p.faults().splitReplyGapMs = 60;
        start({&p});
        link();
        EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join('|').toStdString();
        EXPECT_EQ(editor->session.device.statusValues, readStatusReply(sim::buildStatusReply(p.state())).values);
        EXPECT_EQ(editor->session.device.statusValues.size(), 90);
        EXPECT_EQ(text("lblAlgorithmVersion"), "Device Algorithm: 0012");
        editor.reset();
        driver.detach(&p);
    }
}

TEST_F(StatusExchange, BytesFromBeforeTheRequestAreNotItsReply)
{
    start({&pedal});
    link();
    prompt.messages.clear();
    emit pedal.toHost("7\r\n"); // a value left over, not yet taken by the periodic read
    click("btnRequest");
    ASSERT_TRUE(settle());
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join('|').toStdString();
    EXPECT_EQ(text("lblFirmwareVersion"), "Device Firmware: 11");
    EXPECT_EQ(editor->session.device.statusValues.size(), 90);
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
        {0, 0, 0, false, 255, true},    {255, 0, 1, true, 186, false}, {5, 5, 1, true, 255, true},
        {16, 16, 0, false, 186, false}, {17, -1, 0, false, 255, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.midi);
        sim::VirtualPedal p;
        p.state().midiChannel = c.midi;
        p.state().bypassStorage = c.storage;
        p.state().instrument = c.instrument;
        start({&p});
        link();
        const QList<QAction *> channels = find<QMenu>("menuMIDIchannel")->actions();
        ASSERT_EQ(channels.size(), 17);
        for (int i = 0; i < channels.size(); ++i)
            EXPECT_EQ(channels[i]->isChecked(), i == c.checkedChannel) << i;
        EXPECT_EQ(action("menuStoreBypassStatus")->isChecked(), c.store);
        EXPECT_EQ(action("menuDoNotStoreBypassStatus")->isChecked(), !c.store);
        EXPECT_EQ(action("menuGuitar")->isChecked(), c.guitar);
        EXPECT_EQ(action("menuBass")->isChecked(), !c.guitar);
        EXPECT_EQ(editor->session.device.instrumentCode, c.instrument);
        EXPECT_TRUE(logHas(QStringLiteral("MIDI channel: %1").arg(c.midi)));
        editor.reset();
        driver.detach(&p);
    }
}

TEST_F(StatusExchange, OptionCommandsSendTheirMessages)
{
    start({&pedal});
    link();
    pedal.clearReceived();
    const QList<QAction *> channels = find<QMenu>("menuMIDIchannel")->actions();
    for (int i : {0, 10, 16}) {
        channels[i]->trigger();
        ASSERT_TRUE(settle());
    }
    trigger("menuStoreBypassStatus");
    ASSERT_TRUE(settle());
    EXPECT_TRUE(action("menuStoreBypassStatus")->isChecked());
    EXPECT_FALSE(action("menuDoNotStoreBypassStatus")->isChecked());
    trigger("menuDoNotStoreBypassStatus");
    ASSERT_TRUE(settle());
    EXPECT_EQ(received(pedal), QStringList({"07 00", "07 0A", "07 10", "10 01", "10 FF"}));
    EXPECT_TRUE(logHas("0700"));
    EXPECT_TRUE(logHas("Midi channel: OMNI"));
    for (int i = 0; i < channels.size(); ++i)
        EXPECT_EQ(channels[i]->isChecked(), i == 16) << "the channel the pedal was told last, item " << i;
}

TEST_F(StatusExchange, AMemoryDumpIsListedWholeByThePeriodicRead)
{
    pedal.setLineRate(true); // the dump takes its real time and arrives over many ticks
    QByteArray eeprom(16384, '\0');
    for (int i = 0; i < eeprom.size(); ++i)
        eeprom[i] = static_cast<char>(i * 7);
    pedal.setEeprom(0x50, eeprom);
    start({&pedal});
    link();
    ASSERT_TRUE(editor->session.link().run(std::make_unique<SendJob>(QByteArray::fromHex("0C5000000000"), 0)));
    ASSERT_TRUE(waitFor(
        [&] { return logHas("16383: " + QString::number(quint8(16383 * 7), 16).toUpper().rightJustified(2, '0')); },
        10000));
    EXPECT_TRUE(logHas("0: 00"));
    EXPECT_TRUE(logHas("1: 07"));
    EXPECT_FALSE(log().join('\n').contains("incomplete"));
}

class Console : public Fixture {};

TEST_F(Console, CtrlShiftPOpensItAndNothingElseDoes)
{
    start({});
    w().show();
    QApplication::setActiveWindow(&w());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
    for (Qt::KeyboardModifiers mods :
         {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ControlModifier),
          Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
        QTest::keyClick(&w(), Qt::Key_P, mods);
        EXPECT_FALSE(editor->windows.console().isVisible());
    }
    QTest::keyClick(&w(), Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(editor->windows.console().isVisible());
}

TEST_F(Console, InfoTracesTheVersionEveryTime)
{
    start({});
    emit find<QMenu>("menuInfo")->aboutToShow();
    emit find<QMenu>("menuInfo")->aboutToShow();
    EXPECT_EQ(log().count("current app version: 1.15.0.0"), 2);
}

TEST_F(Console, ShowsTheLogAndFollowsScroll)
{
    start({});
    ConsoleWindow &console = editor->windows.console();
    console.show();
    auto *memo = find<QPlainTextEdit>("Memo1");
    for (int i = 0; i < 100; ++i)
        editor->session.log().print(QString::number(i));
    QScrollBar *bar = memo->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
    click("btnScrollTop");
    EXPECT_EQ(bar->value(), 0);
    // The new-version window has a CheckBox1 of its own.
    auto *scroll = console.findChild<QCheckBox *>("CheckBox1");
    scroll->setChecked(false);
    editor->session.log().print("quiet");
    EXPECT_EQ(bar->value(), 0) << "with scroll off the view stays";
    scroll->setChecked(true);
    editor->session.log().appendLine("direct");
    EXPECT_EQ(bar->value(), 0) << "a direct line does not move the view";
    editor->session.log().print("");
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(memo->toPlainText().split('\n').last(), "");
    click("btnClear");
    EXPECT_TRUE(log().isEmpty());
    editor->session.log().print("first");
    EXPECT_EQ(memo->toPlainText(), "first");
}

class Settings : public Fixture {};

// A failed live message is no command the user waits on: its driver text is shown only while
// Report USB Errors is checked, and traced either way.
TEST_F(Settings, ReportUsbErrorsDecidesWhetherAFailedLiveMessageIsShown)
{
    for (const bool report : {true, false}) {
        SCOPED_TRACE(report);
        sim::VirtualPedal p;
        start({&p});
        link();
        if (action("menuReportUSBErrors")->isChecked() != report)
            trigger("menuReportUSBErrors");
        prompt.messages.clear();
        driver.failNextCall(FT_OTHER_ERROR);
        find<QPushButton>("swtSplit")->toggle();
        const QStringList shown = report ? QStringList({"FT_Write - Other error ..."}) : QStringList();
        EXPECT_EQ(prompt.messages, shown);
        EXPECT_TRUE(logHas("FT_Write - Other error ..."));
        EXPECT_TRUE(editor->session.link().isLinked());
        editor.reset();
        driver.detach(&p);
    }
}

TEST_F(Settings, ReportUsbErrorsWritesItsFileOnlyWhileItExists)
{
    start({});
    const QString file = docs.path() + "/NEROV/Vadrelon MK3/ReportUSBErrors.txt";
    trigger("menuReportUSBErrors");
    EXPECT_FALSE(action("menuReportUSBErrors")->isChecked());
    EXPECT_EQ(readFile(file), "NO");

    QFile::remove(file);
    trigger("menuReportUSBErrors");
    EXPECT_TRUE(action("menuReportUSBErrors")->isChecked());
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_FALSE(editor->settings.reportUsbErrorsSetting);
}

TEST_F(Settings, ALookAppliesAtOnceAndAtTheNextStart)
{
    start({});
    const QString styleFile = docs.path() + "/NEROV/style.txt";
    EXPECT_FALSE(QFile::exists(styleFile));
    const QString look0 = qApp->styleSheet();
    EXPECT_FALSE(look0.isEmpty()) << "look 0 applies without a style.txt";
    find<QMenu>("menuLook")->actions().at(3)->trigger();
    EXPECT_EQ(readFile(styleFile), "3");
    const QString look3 = qApp->styleSheet();
    EXPECT_NE(look3, look0);

    editor.reset();
    qApp->setStyleSheet(QString());
    start({});
    EXPECT_EQ(qApp->styleSheet(), look3);
    // The menu names each look, index first, and marks the one in use.
    QMenu *looks = find<QMenu>("menuLook");
    emit looks->aboutToShow();
    EXPECT_EQ(looks->actions().at(0)->text(), "0 Light");
    EXPECT_EQ(looks->actions().at(1)->text(), "1 Graphite");
    for (int i = 0; i < looks->actions().size(); ++i)
        EXPECT_EQ(looks->actions().at(i)->isChecked(), i == 3) << i;
    looks->actions().at(1)->trigger();
    EXPECT_TRUE(looks->actions().at(1)->isChecked());
    EXPECT_FALSE(looks->actions().at(3)->isChecked());
}

// Every menu opens from the keyboard: Alt and its letter, or F10 for the first.
TEST_F(Settings, MenusOpenFromTheKeyboard)
{
    start({});
    w().show();
    w().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
    const struct {
        Qt::Key key;
        const char *menu;
    } cases[] = {{Qt::Key_F, "menuFile"},
                 {Qt::Key_C, "menuConnection"},
                 {Qt::Key_S, "menuSettings"},
                 {Qt::Key_U, "menuFirmwareUpgrade"},
                 {Qt::Key_I, "menuInfo"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.menu);
        QTest::keyClick(&w(), c.key, Qt::AltModifier);
        EXPECT_TRUE(waitFor([&] { return find<QMenu>(c.menu)->isVisible(); }));
        find<QMenu>(c.menu)->close();
        ASSERT_TRUE(waitFor([&] { return !find<QMenu>(c.menu)->isVisible(); }));
    }
    QTest::keyClick(&w(), Qt::Key_F10);
    EXPECT_TRUE(waitFor([&] { return find<QMenu>("menuFile")->isVisible(); }));
    find<QMenu>("menuFile")->close();
}

// A setting that cannot be made, read or written is shown once, when its step runs, and the
// editor goes on with the defaults.
TEST_F(Settings, FailuresAreShownInTheOrderOfTheirSteps)
{
    const QString maker = docs.path() + "/NEROV";
    const QString product = maker + "/Vadrelon MK3";
    const QString show = product + "/ShowMessageVersionAtStartup.txt";
    const QString report = product + "/ReportUSBErrors.txt";
    const QString style = maker + "/style.txt";
    const auto reading = [](const QString &path) {
        return QStringLiteral("Error reading file \"%1\": ").arg(QDir::toNativeSeparators(path));
    };
    const auto writing = [](const QString &path) {
        return QStringLiteral("Error writing file \"%1\": ").arg(QDir::toNativeSeparators(path));
    };
    struct Case {
        const char *what;
        std::function<void()> block;
        QStringList startUp;  // how the messages begin; the system's reason follows
        QStringList commands; // after both check-mark commands and a look
    };
    const Case cases[] = {
        {"the maker folder is a file",
         [&] { writeFile(maker, "x"); },
         {"Error creating folder: ", "Error creating subfolder: ", writing(show), writing(report)},
         {writing(style)}},
        {"every settings file is a folder",
         [&] {
             for (const QString &p : {show, report, style})
                 QDir().mkpath(p);
         },
         {reading(show), reading(report), reading(style)},
         {writing(show), writing(report), writing(style)}},
    };
    const auto expectMessages = [&](const QStringList &heads) {
        ASSERT_EQ(prompt.messages.size(), heads.size()) << prompt.messages.join('|').toStdString();
        for (int i = 0; i < heads.size(); ++i)
            EXPECT_TRUE(prompt.messages[i].startsWith(heads[i]) && prompt.messages[i].size() > heads[i].size())
                << prompt.messages[i].toStdString();
        prompt.messages.clear();
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(maker);
        QDir(maker).removeRecursively();
        c.block();
        start({});
        expectMessages(c.startUp);
        EXPECT_TRUE(action("menuShowUpdateMsg")->isChecked());
        EXPECT_TRUE(action("menuReportUSBErrors")->isChecked());
        trigger("menuShowUpdateMsg");
        trigger("menuReportUSBErrors");
        find<QMenu>("menuLook")->actions().at(2)->trigger();
        expectMessages(c.commands);
        editor.reset();
        qApp->setStyleSheet(QString());
    }
}

TEST_F(Settings, StyleFileThatIsNotAWholeNumberFallsBackToLookZero)
{
    QDir().mkpath(docs.path() + "/NEROV");
    writeFile(docs.path() + "/NEROV/style.txt", "3\n");
    start({});
    const QString fallback = qApp->styleSheet();
    EXPECT_FALSE(fallback.isEmpty()) << "a look is applied, not none";
    find<QMenu>("menuLook")->actions().at(0)->trigger();
    EXPECT_EQ(qApp->styleSheet(), fallback) << "and it is look 0's";
}
