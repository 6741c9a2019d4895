// A firmware upgrade as a player runs it: a pedal waiting in its bootloader, the Firmware
// Upgrade window, an image from a file, and every way the bootloader can let it down.
#include "editorfixture.h"

#include "base/hexcodec.h"
#include "support/synthetic_images.h"
#include "ui/editor.h"
#include "ui/firmwarewindow.h"

#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

using namespace vadrelon;

namespace {

constexpr int kImageSize = 1000; // four blocks: the last one short
constexpr int kRecordOffset = 0x1FC00;

} // namespace

class FirmwareUpgrade : public test::EditorFixture {
public:
    // A pedal in its bootloader, found by a plain Link, the window open, the image in a file.
    void ready(quint8 version = 11, sim::VirtualPedal *on = nullptr)
    {
        target = on ? on : &pedal;
        target->startInBootloader();
        start({target});
        link();
        trigger("menuStartFirmwareUpgrade");
        image = MakeFirmwareImage(version, kImageSize);
        file = docs.filePath(QStringLiteral("FIRMWARE_%1.bin").arg(version));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(image);
        f.close();
        target->clearReceived();
        prompt.messages.clear();
    }
    void upgradeFromFile()
    {
        prompt.files = {file};
        click("btnUpgradeFromFile");
        ASSERT_TRUE(settle(10000));
    }
    QStringList sent() { return received(*target); }
    QByteArray expectedFlash(quint8 version)
    {
        QByteArray flash(128 * 1024, char(0xFF));
        flash.replace(0, image.size(), image);
        flash.replace(kRecordOffset, 8, QByteArray(7, '\0') + char(version));
        return flash;
    }

    QByteArray image;
    QString file;
    sim::VirtualPedal *target = &pedal;
};

TEST_F(FirmwareUpgrade, WritesVerifiesRecordsAndStartsInThatOrder)
{
    ready();
    QList<int> bar;
    QObject::connect(find<QProgressBar>("ProgressBar1"), &QProgressBar::valueChanged,
                     [&bar](int value) { bar << value; });
    upgradeFromFile();
    ASSERT_GE(bar.size(), 3);
    EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end() - 1)) << "the bar only moves forward while the upgrade runs";
    EXPECT_GE(*std::max_element(bar.begin(), bar.end()), 95) << "through every phase, the start included";
    EXPECT_EQ(bar.last(), 0) << "reset at the end";
    EXPECT_EQ(prompt.messages, QStringList({"Firmware Upgrade Complete, device will now restart"}));
    const QStringList got = sent();
    const QStringList head = {"43 BC", "FF 00", "31 CE", "08 00 00 00 08"};
    EXPECT_EQ(got.mid(0, 4), head);
    // Four blocks written (three steps each), four read back, then the record, Go, and the status.
    ASSERT_EQ(got.size(), 2 + 4 * 3 + 4 * 3 + 3 + 2 + 1) << got.join('|').toStdString();
    EXPECT_EQ(got.mid(14, 3), QStringList({"11 EE", "08 00 00 00 08", "FF 00"})) << "the first block read back";
    EXPECT_EQ(got.mid(23, 3), QStringList({"11 EE", "08 00 03 00 0B", "E7 18"})) << "the last: 232 bytes";
    EXPECT_EQ(got.mid(26), QStringList({"31 CE", "08 01 FC 00 F5", "07 00 00 00 00 00 00 00 0B 0C", "21 DE",
                                        "08 00 00 00 08", "02 00"}));
    EXPECT_EQ(pedal.flash(), expectedFlash(11));
    EXPECT_EQ(pedal.face(), sim::VirtualPedal::Face::Firmware);
    EXPECT_EQ(editor->session.link().state(), LinkState::Linked);
    EXPECT_EQ(find<QLabel>("lblFirmwareVersion")->text(), "Device Firmware: 11") << "read again after the start";
    EXPECT_FALSE(editor->windows.firmware().isVisible());
    EXPECT_FALSE(action("menuFirmwareUpgradeMode")->isChecked());
    EXPECT_FALSE(editor->session.device.legacyUpgradeLink);
    EXPECT_TRUE(logHas("Firmware num of bytes: 1000"));
    EXPECT_TRUE(logHas("verified: the flash holds the image"));
}

TEST_F(FirmwareUpgrade, AFileNamedWithoutItsVersionIsAskedForIt)
{
    ready(9);
    QFile::rename(file, docs.filePath("maker.bin"));
    file = docs.filePath("maker.bin");
    prompt.numbers = {std::nullopt};
    upgradeFromFile();
    EXPECT_EQ(prompt.messages, QStringList({"Which firmware version is maker.bin?"}));
    EXPECT_TRUE(sent().isEmpty()) << "cancelled";
    prompt.numbers = {9};
    upgradeFromFile();
    EXPECT_EQ(pedal.flash(), expectedFlash(9));
}

// The window cannot start a second upgrade or be closed while one runs.
TEST_F(FirmwareUpgrade, WhileItRunsNothingElseCanStart)
{
    ready();
    prompt.files = {file};
    click("btnUpgradeFromFile");
    ASSERT_TRUE(editor->session.link().busy());
    EXPECT_FALSE(enabled("btnUpgradeFirmware"));
    EXPECT_FALSE(enabled("btnUpgradeFromFile"));
    EXPECT_FALSE(enabled("menuFirmwareUpgradeMode"));
    EXPECT_FALSE(enabled("menuDisconnect"));
    EXPECT_FALSE(editor->windows.firmware().close());
    EXPECT_TRUE(editor->windows.firmware().isVisible());
    ASSERT_TRUE(settle(10000));
    EXPECT_TRUE(prompt.messages.contains("Firmware Upgrade Complete, device will now restart"));
}

TEST_F(FirmwareUpgrade, AnImageThatCannotStartIsRefusedBeforeTheErase)
{
    ready();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(1000, '\0')); // no vector table
    f.close();
    upgradeFromFile();
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages[0].startsWith("This firmware image cannot be installed: its initial stack pointer"))
        << prompt.messages[0].toStdString();
    EXPECT_TRUE(sent().isEmpty()) << "not even the erase";
}

// Each fault of the bootloader stops the upgrade at once: no record and no Go after it, one
// message that names the step, and the pedal still in its bootloader where a second upgrade
// brings it back.
TEST_F(FirmwareUpgrade, EveryFaultStopsItBeforeTheStartAndASecondUpgradeRecovers)
{
    using Step = sim::BootloaderStep;
    struct Case {
        const char *name;
        std::function<void(sim::Faults &)> fault;
        const char *step;
        // A bootloader that went silent may be anywhere in a command: the player powers the
        // pedal up again with SHIFT held and links, instead of trying again at once.
        bool powerCycle = false;
    };
    const auto nack = [](int command, Step step) {
        return [=](sim::Faults &f) {
            f.nackAtBootloaderCommand = command;
            f.nackAtBootloaderStep = step;
        };
    };
    const Case cases[] = {
        {"erase command", nack(0x43, Step::Command), "the erase command: the pedal answered NACK"},
        {"erase list", nack(0x43, Step::Erase), "the erase of the whole flash: the pedal answered NACK"},
        {"write command", nack(0x31, Step::Command),
         "the write command for block 0 (0x08000000): the pedal answered NACK"},
        {"write address", nack(0x31, Step::Address), "the address of block 0 (0x08000000): the pedal answered NACK"},
        {"write data", nack(0x31, Step::Data), "the data of block 0 (0x08000000): the pedal answered NACK"},
        {"read command", nack(0x11, Step::Command),
         "the read command for block 0 (0x08000000): the pedal answered NACK"},
        {"read count", nack(0x11, Step::Count), "the read of block 0 (0x08000000): the pedal answered NACK"},
        {"go", nack(0x21, Step::Command), "the start command: the pedal answered NACK"},
        {"silence", [](sim::Faults &f) { f.silent = true; }, "the erase command: the pedal did not answer", true},
        {"a bit that does not take", [](sim::Faults &f) { f.stuckBitOffset = 0x10; },
         "the check of what was written: the flash at 0x%3 reads back %2 where the image has %1, after "
         "writing it twice"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim::VirtualPedal p;
        ready(11, &p);
        // The stuck bit goes where the image has it clear, so that it shows.
        int offset = 8;
        while (quint8(image[offset]) & 1)
            ++offset;
        const quint8 stuck = quint8(image[offset]);
        c.fault(p.faults());
        if (p.faults().stuckBitOffset >= 0)
            p.faults().stuckBitOffset = offset;
        upgradeFromFile();
        ASSERT_EQ(prompt.messages.size(), 1) << prompt.messages.join('|').toStdString();
        // After the image was verified and recorded, only the start is in doubt.
        const QString told =
            std::string(c.name) == "go"
                ? QStringLiteral("The new firmware was written, verified and recorded, but the pedal did not confirm "
                                 "that it started it (%1). Unplug the pedal and plug it in again to start it. If it "
                                 "then does not answer, plug it in with its SHIFT button held and link to it again "
                                 "(Connection → Link finds it there), then choose Firmware Upgrade → Start Firmware "
                                 "Upgrade.")
                : QStringLiteral("The firmware upgrade stopped at %1. The pedal waits in its bootloader without "
                                 "working firmware. Run the upgrade again (Upgrade Firmware or From File…). A new "
                                 "link finds the pedal there too: Connection → Unlink, then Connection → Link.");
        EXPECT_EQ(prompt.messages[0], told.arg(QString::fromLatin1(c.step).arg(hex2(stuck), hex2(stuck | 1u),
                                                                               hex8(0x08000000u + quint32(offset)))));
        const QStringList got = sent();
        // A check that fails starts once more from the erase; nothing else is tried again.
        EXPECT_EQ(got.count("43 BC"), p.faults().stuckBitOffset >= 0 ? 2 : 1);
        if (std::string(c.name) != "go") {
            EXPECT_FALSE(got.contains("21 DE")) << "no start after a failure";
            EXPECT_FALSE(got.contains("08 01 FC 00 F5")) << "no version record after a failure";
        }
        EXPECT_EQ(p.face(), sim::VirtualPedal::Face::Bootloader);
        EXPECT_TRUE(editor->windows.firmware().isVisible());
        EXPECT_TRUE(enabled("btnUpgradeFromFile"));

        p.faults() = sim::Faults{};
        if (c.powerCycle) {
            trigger("menuDisconnect");
            p.startInBootloader();
            link();
            trigger("menuStartFirmwareUpgrade");
        }
        prompt.messages.clear();
        upgradeFromFile();
        EXPECT_EQ(prompt.messages, QStringList({"Firmware Upgrade Complete, device will now restart"}));
        EXPECT_EQ(p.flash(), expectedFlash(11));
        EXPECT_EQ(p.face(), sim::VirtualPedal::Face::Firmware);
        editor.reset();
        driver.detach(&pedal);
        p.startInBootloader();
    }
}

// The message after a stopped upgrade says to link again: a bootloader greeted before must be
// found by the new link too.
TEST_F(FirmwareUpgrade, AfterAStoppedUpgradeANewLinkFindsTheBootloaderAgain)
{
    ready();
    pedal.faults().nackAtBootloaderCommand = 0x31;
    pedal.faults().nackAtBootloaderStep = sim::BootloaderStep::Data;
    upgradeFromFile();
    ASSERT_TRUE(prompt.messages.value(0).startsWith("The firmware upgrade stopped at the data of block 0"));
    pedal.faults() = sim::Faults{};
    trigger("menuDisconnect");
    editor->windows.firmware().close();
    prompt.messages.clear();
    link(); // Upgrade Mode is still on: the link greets at once
    EXPECT_EQ(prompt.messages, QStringList({"Connection to bootloader succeeded, ready for firmware upgrade"}));
    EXPECT_TRUE(logHas("received Byte: 1F")) << "the NACK of a bootloader greeted before";
    trigger("menuStartFirmwareUpgrade");
    prompt.messages.clear();
    upgradeFromFile();
    EXPECT_EQ(prompt.messages, QStringList({"Firmware Upgrade Complete, device will now restart"}));
    EXPECT_EQ(pedal.flash(), expectedFlash(11));
}

TEST_F(FirmwareUpgrade, APedalPulledOutMidWayIsToldOnce)
{
    ready();
    pedal.faults().unplugAfterMessages = 2 + 3 * 2; // the erase and two blocks
    upgradeFromFile();
    EXPECT_EQ(prompt.messages,
              QStringList({"The firmware upgrade stopped at the data of block 1 (0x08000100): the pedal is no longer "
                           "connected, and it has no working firmware. Plug it in again with its SHIFT button held, "
                           "then choose Connection → Link and Firmware Upgrade → Start Firmware Upgrade."}));
    EXPECT_FALSE(sent().contains("21 DE"));
    EXPECT_FALSE(editor->session.link().isLinked());
    EXPECT_FALSE(editor->windows.firmware().isRunning());
}
