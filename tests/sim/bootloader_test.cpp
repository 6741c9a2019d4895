// The bootloader face of the virtual pedal, as the AN3155 host sees it.
#include "support/frames.h"
#include "virtualpedal.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace vadrelon::sim;

namespace {

using vadrelon::test::hex;
using vadrelon::test::withXor;

Framing evenParity()
{
    Framing f;
    f.parity = 2;
    return f;
}

class Bootloader : public ::testing::Test {
protected:
    void SetUp() override
    {
        QObject::connect(&pedal, &VirtualPedal::toHost, &pedal, [this](const QByteArray &b) { fromPedal += b; });
        pedal.startInBootloader();
    }
    // Sends bytes and returns all the pedal answered, once `count` bytes came.
    QByteArray exchange(const QByteArray &bytes, int count, const Framing &framing = evenParity())
    {
        fromPedal.clear();
        pedal.hostWrite(bytes, framing);
        (void)QTest::qWaitFor([&] { return fromPedal.size() >= count; }, 1000);
        QTest::qWait(5); // let anything extra arrive too
        return fromPedal;
    }
    void sync() { ASSERT_EQ(exchange(hex("7F"), 1), hex("79")); }

    VirtualPedal pedal;
    QByteArray fromPedal;
};

} // namespace

TEST_F(Bootloader, SynchronisesOnceThenTakes7FAsACommandByte)
{
    EXPECT_EQ(exchange(hex("7F"), 1), hex("79"));
    EXPECT_EQ(exchange(hex("7F"), 1), QByteArray()); // waits for its complement
    EXPECT_EQ(exchange(hex("7F"), 1), hex("1F"));
}

TEST_F(Bootloader, UnderstandsOnlyEvenParityUnlessTheFramingIsUnknown)
{
    EXPECT_EQ(exchange(hex("7F"), 1, Framing{}), QByteArray());
    Framing unknown;
    unknown.parityKnown = false;
    EXPECT_EQ(exchange(hex("7F"), 1, unknown), hex("79"));
}

struct CommandCase {
    const char *name;
    QByteArray sent;
    QByteArray answer;
};

TEST_F(Bootloader, AnswersCommandsAndChecksTheirChecksumsAndRanges)
{
    const QByteArray blank16(16, char(0xFF));
    const CommandCase cases[] = {
        {"Get", hex("00FF"), hex("79072200010211213143") + hex("79")},
        {"Get Version", hex("01FE"), hex("7922000079")},
        {"Get ID", hex("02FD"), hex("7901041079")},
        {"wrong complement", hex("00FE"), hex("1F")},
        {"unknown command", hex("639C"), hex("1F")},
        {"Read", hex("11EE") + withXor("08000000") + hex("0FF0"), hex("797979") + blank16},
        {"Read, bad address checksum", hex("11EE") + hex("0800000009"), hex("791F")},
        {"Read, address outside flash", hex("11EE") + withXor("20000000"), hex("791F")},
        {"Read, bad count complement", hex("11EE") + withXor("08000000") + hex("0F0F"), hex("79791F")},
        {"Read, past the end of flash", hex("11EE") + withXor("0801FFF0") + hex("1FE0"), hex("79791F")},
        {"Write", hex("31CE") + withXor("08000100") + withXor("03DEADBEEF"), hex("797979")},
        {"Write, bad data checksum", hex("31CE") + withXor("08000100") + hex("03DEADBEEF00"), hex("79791F")},
        {"Write, past the end of flash", hex("31CE") + withXor("0801FFFE") + withXor("03DEADBEEF"), hex("79791F")},
        {"Erase, global", hex("43BC") + hex("FF00"), hex("7979")},
        {"Erase, global with a bad checksum", hex("43BC") + hex("FF01"), hex("791F")},
        {"Erase, two pages", hex("43BC") + withXor("010002"), hex("7979")},
        {"Erase, page beyond 128 KiB", hex("43BC") + withXor("0080"), hex("791F")},
        {"Erase, bad page list checksum", hex("43BC") + hex("01000200"), hex("791F")},
        {"Go outside flash", hex("21DE") + withXor("20000000"), hex("791F")},
    };
    for (const auto &c : cases) {
        VirtualPedal fresh;
        QByteArray answer;
        QObject::connect(&fresh, &VirtualPedal::toHost, &fresh, [&](const QByteArray &b) { answer += b; });
        fresh.startInBootloader();
        fresh.hostWrite(hex("7F") + c.sent, evenParity());
        (void)QTest::qWaitFor([&] { return answer.size() >= 1 + c.answer.size(); }, 1000);
        QTest::qWait(5);
        EXPECT_EQ(answer, hex("79") + c.answer) << c.name;
        EXPECT_EQ(fresh.face(), VirtualPedal::Face::Bootloader) << c.name;
    }
}

TEST_F(Bootloader, RecoversAfterANackAndKeepsGoing)
{
    sync();
    EXPECT_EQ(exchange(hex("11EE") + hex("0800000000"), 2), hex("791F"));
    EXPECT_EQ(exchange(hex("02FD"), 5), hex("7901041079"));
}

TEST_F(Bootloader, WrittenBytesReadBackAndProgrammedBitsNeedAnErase)
{
    sync();
    const QByteArray data = hex("0102030405060708");
    EXPECT_EQ(exchange(hex("31CE") + withXor("08000400") + withXor(hex("07") + data), 3), hex("797979"));
    EXPECT_EQ(exchange(hex("11EE") + withXor("08000400") + hex("07F8"), 11), hex("797979") + data);
    EXPECT_EQ(pedal.flash().mid(0x400, 8), data);

    // Setting a programmed bit again fails, as on the real flash, and leaves the bytes alone.
    EXPECT_EQ(exchange(hex("31CE") + withXor("08000400") + withXor("00FF"), 3), hex("79791F"));
    EXPECT_EQ(pedal.flash().mid(0x400, 8), data);
    EXPECT_EQ(exchange(hex("43BC") + withXor("0001"), 2), hex("7979"));
    EXPECT_EQ(pedal.flash().mid(0x400, 8), QByteArray(8, char(0xFF)));
}

TEST_F(Bootloader, GoRunsTheFirmwareOfTheVersionRecord)
{
    sync();
    // The record of the firmware that was running is in flash; version 12 needs bits set again.
    const QByteArray record = hex("07") + hex("000000000000000C");
    EXPECT_EQ(exchange(hex("31CE") + withXor("0801FC00") + withXor(record), 3), hex("79791F"));
    EXPECT_EQ(exchange(hex("43BC") + withXor("007F"), 2), hex("7979"));
    EXPECT_EQ(exchange(hex("31CE") + withXor("0801FC00") + withXor(record), 3), hex("797979"));

    EXPECT_EQ(exchange(hex("21DE") + withXor("08000000"), 2), hex("7979"));
    EXPECT_EQ(pedal.face(), VirtualPedal::Face::Firmware);
    EXPECT_EQ(pedal.state().firmwareVersion, 12);
    EXPECT_EQ(exchange(hex("0200"), 4, Framing{}).left(4), QByteArray("12\r\n"));
}

TEST_F(Bootloader, EntryMessageThenSyncAtEvenParity)
{
    VirtualPedal running;
    QByteArray answer;
    QObject::connect(&running, &VirtualPedal::toHost, &running, [&](const QByteArray &b) { answer += b; });
    running.state().firmwareVersion = 10;
    running.hostWrite(hex("0500010203040506"), Framing{});
    ASSERT_EQ(running.face(), VirtualPedal::Face::Bootloader);
    running.hostWrite(hex("7F"), evenParity());
    (void)QTest::qWaitFor([&] { return !answer.isEmpty(); }, 1000);
    EXPECT_EQ(answer, hex("79"));
    // Go without writing anything comes back to the firmware that was running.
    running.hostWrite(hex("21DE") + withXor("08000000"), evenParity());
    EXPECT_EQ(running.state().firmwareVersion, 10);
    EXPECT_EQ(running.face(), VirtualPedal::Face::Firmware);
}

TEST_F(Bootloader, ChosenCommandIsRefused)
{
    pedal.faults().nackAtBootloaderCommand = 0x31;
    sync();
    EXPECT_EQ(exchange(hex("31CE"), 1), hex("1F"));
    EXPECT_EQ(exchange(hex("43BC") + hex("FF00"), 2), hex("7979"));
}

TEST_F(Bootloader, RecordsEachStepAsAMessage)
{
    sync();
    exchange(hex("31CE") + withXor("08000000") + withXor("0011"), 3);
    QList<QByteArray> got;
    for (const auto &m : pedal.received())
        got << m.bytes;
    EXPECT_EQ(got, (QList<QByteArray>{hex("7F"), hex("31CE"), withXor("08000000"), withXor("0011")}));
}

TEST_F(Bootloader, ARefusedStepOfOneCommandLeavesTheSameStepOfAnotherAlone)
{
    pedal.faults().nackAtBootloaderCommand = 0x31;
    pedal.faults().nackAtBootloaderStep = BootloaderStep::Address;
    sync();
    EXPECT_EQ(exchange(hex("11EE") + withXor("08000000") + hex("00FF"), 4), hex("797979FF"));
    EXPECT_EQ(exchange(hex("31CE") + withXor("08000000"), 2), hex("791F"));
}

// A NACK at one step of one command: the frames before it are acknowledged, the refused one
// changes nothing, and the bootloader waits for a command again.
struct StepCase {
    const char *name;
    quint8 command;
    BootloaderStep step;
    QList<QByteArray> frames; // up to the refused one, which is last
};
void PrintTo(const StepCase &c, std::ostream *os)
{
    *os << c.name;
}

class RefusedStep : public Bootloader, public ::testing::WithParamInterface<StepCase> {};

TEST_P(RefusedStep, IsAnsweredWithNackAfterTheStepsBeforeItAreAcknowledged)
{
    const StepCase &c = GetParam();
    sync();
    // Something in page 0 for a refused erase or write to leave as it was.
    ASSERT_EQ(exchange(hex("31CE") + withXor("08000000") + withXor("03DEADBEEF"), 3), hex("797979"));
    const QByteArray flashBefore = pedal.flash();

    pedal.faults().nackAtBootloaderCommand = c.command;
    pedal.faults().nackAtBootloaderStep = c.step;
    for (int i = 0; i + 1 < c.frames.size(); ++i)
        EXPECT_EQ(exchange(c.frames[i], 1), hex("79")) << "step " << i;
    EXPECT_EQ(exchange(c.frames.last(), 1), hex("1F"));
    EXPECT_EQ(pedal.flash(), flashBefore);
    EXPECT_EQ(pedal.face(), VirtualPedal::Face::Bootloader);

    pedal.faults() = Faults{};
    EXPECT_EQ(exchange(hex("02FD"), 5), hex("7901041079"));
}

INSTANTIATE_TEST_SUITE_P(
    Bootloader, RefusedStep,
    ::testing::Values(
        StepCase{"GetAtItsCommand", 0x00, BootloaderStep::Command, {hex("00FF")}},
        StepCase{"GetIdAtItsCommand", 0x02, BootloaderStep::Command, {hex("02FD")}},
        StepCase{"ReadAtItsCommand", 0x11, BootloaderStep::Command, {hex("11EE")}},
        StepCase{"ReadAtItsAddress", 0x11, BootloaderStep::Address, {hex("11EE"), withXor("08000000")}},
        StepCase{"ReadAtItsCount", 0x11, BootloaderStep::Count, {hex("11EE"), withXor("08000000"), hex("0FF0")}},
        StepCase{"GoAtItsCommand", 0x21, BootloaderStep::Command, {hex("21DE")}},
        StepCase{"GoAtItsAddress", 0x21, BootloaderStep::Address, {hex("21DE"), withXor("08000000")}},
        StepCase{"WriteAtItsCommand", 0x31, BootloaderStep::Command, {hex("31CE")}},
        StepCase{"WriteAtItsAddress", 0x31, BootloaderStep::Address, {hex("31CE"), withXor("08000000")}},
        StepCase{
            "WriteAtItsData", 0x31, BootloaderStep::Data, {hex("31CE"), withXor("08000000"), withXor("0300000000")}},
        StepCase{"EraseAtItsCommand", 0x43, BootloaderStep::Command, {hex("43BC")}},
        StepCase{"EraseAtItsPageList", 0x43, BootloaderStep::Erase, {hex("43BC"), withXor("0000")}},
        StepCase{"EraseAtItsGlobalCode", 0x43, BootloaderStep::Erase, {hex("43BC"), hex("FF00")}}),
    [](const ::testing::TestParamInfo<StepCase> &info) { return std::string(info.param.name); });
