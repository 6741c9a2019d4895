// What `vadrelon` makes of a status reply, a preset and the ports found, without a pedal.
#include "base/hexcodec.h"
#include "cli/report.h"
#include "content/addressheader.h"
#include "effect/dialmapping.h"
#include "support/printers.h"
#include "virtualpedal.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vadrelon;
using namespace vadrelon::cli;

namespace {

const QStringList kCatalogue{"Vadrelon MK3 0012"};
constexpr quint32 kLatestFirmware = 11;
constexpr quint32 kLatestAlgorithm = 12;

// StatusValues of a current pedal with every setting at its first state.
QByteArray currentValues()
{
    QByteArray v(kStatusValueCount, '\0');
    v[StatusIndex::Firmware] = 11;
    v[StatusIndex::AlgorithmLow] = 0x12;
    v[StatusIndex::Instrument] = char(255);
    return v;
}

void putParameter(QByteArray &values, int index, quint32 value)
{
    for (int b = 0; b < 4; ++b)
        values[StatusIndex::Parameters + 4 * index + b] = char(value >> (24 - 8 * b));
}

PedalReport reportOf(const QByteArray &values)
{
    const Result<PedalReport> r = readPedalReport(values, kCatalogue, kLatestFirmware, kLatestAlgorithm);
    if (const Error *e = std::get_if<Error>(&r)) {
        ADD_FAILURE() << "refused: " << e->detail.toStdString();
        return {};
    }
    return std::get<PedalReport>(r);
}

TEST(CliReport, StatusTextNamesEverySettingAndParameter)
{
    QByteArray v = currentValues();
    v[StatusIndex::Tuning] = 1;
    v[StatusIndex::Tuning + 1] = char(-1);
    v[StatusIndex::Bypass] = 1;
    v[StatusIndex::MidiChannel] = 10;
    putParameter(v, ParDry, 0x3FC000);
    putParameter(v, ParLowPass, 12);
    putParameter(v, ParDryHPF, 0x12345678);
    putParameter(v, ParWave, kWaveOff);
    putParameter(v, ParHarmonicPitch, HarmonicPitchTable[15]);
    putParameter(v, ParSplit, 1);
    v[StatusIndex::FootswitchMode] = 3;
    EXPECT_EQ(statusText(reportOf(v)), "Firmware: 11\n"
                                       "Algorithm: 0012\n"
                                       "Versions: current\n"
                                       "Effect: 00 Vadrelon MK3 0012\n"
                                       "Dry: 49.8 % (003FC000)\n"
                                       "Sub Mix: 0.0 % (00000000)\n"
                                       "-1 Oct: 0.0 % (00000000)\n"
                                       "-2 Oct: 0.0 % (00000000)\n"
                                       "Wave: off (00600000)\n"
                                       "Low Pass: 12 (0000000C)\n"
                                       "High Pass: 0 (00000000)\n"
                                       "1st Harmonic: 0.0 % (00000000)\n"
                                       "Split: on (00000001)\n"
                                       "Range: 0 (00000000)\n"
                                       "Input Level: 0.0 % (00000000)\n"
                                       "1st Harmonic Pitch: +3 (00500000)\n"
                                       "Wave Clip: 0.0 % (00000000)\n"
                                       "Dominant Notes Cut: off (00000000)\n"
                                       "High Notes Cut: off (00000000)\n"
                                       "Dry HPF: unknown (12345678)\n"
                                       "Footswitch: short press preset, long press bypass\n"
                                       "Control I: none\n"
                                       "Control II: none\n"
                                       "Control III: none\n"
                                       "Control IV: none\n"
                                       "Remote footswitch: none\n"
                                       "Tuning: 1 Standard (EADGBE)\n"
                                       "Semitone shift: -1\n"
                                       "Bypass: on\n"
                                       "Bypass storage: off\n"
                                       "Instrument: guitar\n"
                                       "MIDI channel: 10\n");
}

// Each byte of the reply as a word, and a byte the editor does not know as what it is.
TEST(CliReport, SettingsReadAsWords)
{
    struct Case {
        const char *name;
        int index;
        quint8 byte;
        std::function<QString(const PedalReport &)> field;
        const char *expected;
    };
    const auto bypass = [](const PedalReport &r) { return r.bypass; };
    const auto storage = [](const PedalReport &r) { return r.bypassStorage; };
    const auto instrument = [](const PedalReport &r) { return r.instrument; };
    const auto midi = [](const PedalReport &r) { return r.midiChannel; };
    const auto tuning = [](const PedalReport &r) {
        return QStringLiteral("%1 %2").arg(r.tuningIndex).arg(r.tuningName);
    };
    const auto shift = [](const PedalReport &r) { return QString::number(r.semitoneShift); };
    const Case cases[] = {
        {"bypass off", StatusIndex::Bypass, 0, bypass, "off"},
        {"bypass on", StatusIndex::Bypass, 1, bypass, "on"},
        {"bypass 2", StatusIndex::Bypass, 2, bypass, "unknown (2)"},
        {"storage on", StatusIndex::BypassStorage, 1, storage, "on"},
        {"storage 255", StatusIndex::BypassStorage, 255, storage, "unknown (255)"},
        {"guitar", StatusIndex::Instrument, 255, instrument, "guitar"},
        {"bass", StatusIndex::Instrument, 186, instrument, "bass"},
        {"instrument 0", StatusIndex::Instrument, 0, instrument, "unknown (0)"},
        {"midi 0", StatusIndex::MidiChannel, 0, midi, "omni"},
        {"midi 255", StatusIndex::MidiChannel, 255, midi, "omni"},
        {"midi 1", StatusIndex::MidiChannel, 1, midi, "1"},
        {"midi 16", StatusIndex::MidiChannel, 16, midi, "16"},
        {"midi 17", StatusIndex::MidiChannel, 17, midi, "unknown (17)"},
        {"tuning 7", StatusIndex::Tuning, 7, tuning, "7 Open C (CGCGCE)"},
        {"tuning 8", StatusIndex::Tuning, 8, tuning, "8 Bass Guitar"},
        {"tuning 9", StatusIndex::Tuning, 9, tuning, "9 "},
        {"shift -5", StatusIndex::Tuning + 1, 0xFB, shift, "-5"},
        {"shift +3", StatusIndex::Tuning + 1, 3, shift, "3"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray v = currentValues();
        v[c.index] = char(c.byte);
        EXPECT_EQ(c.field(reportOf(v)), c.expected);
    }
}

TEST(CliReport, StatusJsonHasNumbersWhereNumbersBelong)
{
    QByteArray v = currentValues();
    putParameter(v, ParDry, levelToValue(512));
    putParameter(v, ParLowPass, 12);
    putParameter(v, ParHarmonicPitch, 0x800000);
    putParameter(v, ParWave, 0x123);
    putParameter(v, ParSplit, 1);
    v[StatusIndex::Tuning] = 9;
    v[StatusIndex::MidiChannel] = 5;
    v[StatusIndex::Bypass] = 1;
    v[StatusIndex::BypassStorage] = 7;
    const QJsonObject json = statusJson(reportOf(v));
    EXPECT_EQ(json.keys(),
              QStringList({"algorithm", "assignments", "bypass", "bypassStorage", "effect", "firmware", "footswitch",
                           "instrument", "midiChannel", "parameters", "semitoneShift", "tuning", "versions"}));
    EXPECT_EQ(json["firmware"], QJsonValue(11));
    EXPECT_EQ(json["algorithm"], QJsonValue(12));
    EXPECT_EQ(json["effect"].toObject()["number"], QJsonValue(0));
    EXPECT_EQ(json["midiChannel"], QJsonValue(5));
    EXPECT_EQ(json["bypass"], QJsonValue(true));
    EXPECT_TRUE(json["bypassStorage"].isNull()) << "a byte the editor does not know";
    const QJsonArray parameters = json["parameters"].toArray();
    ASSERT_EQ(parameters.size(), kParameterCount);
    const auto parameter = [&](int i) { return parameters[i].toObject(); };
    EXPECT_EQ(parameter(ParDry), QJsonObject({{"name", "Dry"}, {"value", 50.0}, {"unit", "%"}, {"raw", 0x400000}}));
    EXPECT_EQ(parameter(ParLowPass), QJsonObject({{"name", "Low Pass"}, {"value", 12}, {"unit", "step"}, {"raw", 12}}));
    EXPECT_EQ(parameter(ParHarmonicPitch)["value"], QJsonValue(12));
    EXPECT_EQ(parameter(ParHarmonicPitch)["unit"], QJsonValue("semitones"));
    EXPECT_EQ(parameter(ParSplit)["value"], QJsonValue(true));
    EXPECT_TRUE(parameter(ParWave)["value"].isNull()) << "a value the switch does not take";
    EXPECT_EQ(parameter(ParWave)["raw"], QJsonValue(0x123));
    EXPECT_EQ(json["tuning"].toObject()["index"].toInt(), 9);
    EXPECT_TRUE(json["tuning"].toObject()["name"].isNull()) << "no tuning has index 9";
    EXPECT_EQ(json["semitoneShift"].toInt(), 0);
}

// The assignment block read with the effect's addresses, as the window reads it: a control
// names its parameter, and an address that is none of its list's entries is shown as it is.
TEST(CliReport, FootswitchAndAssignmentsReadAsTheWindowShowsThem)
{
    ParameterSet set;
    const AddressHeader header = addressHeaderFor(QStringLiteral("Vadrelon MK3 0012"), QString());
    ASSERT_EQ(readParameterAddresses(set, header.line), std::nullopt);
    QByteArray v = currentValues();
    const auto assign = [&](int control, quint16 address) {
        v[StatusIndex::Assignments + control] = 1;
        v[StatusIndex::Assignments + 5 + 2 * control] = char(address >> 8);
        v[StatusIndex::Assignments + 6 + 2 * control] = char(address & 0xFF);
    };
    assign(CtrlI, set.WaveClip.address);
    assign(CtrlII, 0x0123);
    assign(CtrlIII, set.HighNotesCut.address);
    v[StatusIndex::Assignments + 5 + 2 * CtrlIV] = char(0x00); // a flag of 0: none, whatever follows
    v[StatusIndex::Assignments + 6 + 2 * CtrlIV] = char(0x1B);
    assign(CtrlRemote, 0xFFFD);
    v[StatusIndex::FootswitchMode] = 1;
    const Result<PedalReport> read = readPedalReport(v, kCatalogue, kLatestFirmware, kLatestAlgorithm, set);
    ASSERT_TRUE(std::holds_alternative<PedalReport>(read));
    const QString text = statusText(std::get<PedalReport>(read));
    for (const char *line :
         {"Footswitch: short press bypass, long press bypass", "Control I: Wave Clip", "Control II: unknown (0123)",
          "Control III: High Notes Cut", "Control IV: none", "Remote footswitch: preset"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(line) + "\n")) << line << "\n" << text.toStdString();
    const QJsonObject json = statusJson(std::get<PedalReport>(read));
    const QJsonArray assignments = json["assignments"].toArray();
    ASSERT_EQ(assignments.size(), 5);
    EXPECT_EQ(assignments[0].toObject(),
              QJsonObject({{"control", "I"}, {"parameter", "Wave Clip"}, {"address", set.WaveClip.address}}));
    EXPECT_EQ(assignments[1].toObject(),
              QJsonObject({{"control", "II"}, {"parameter", QJsonValue()}, {"address", 0x123}}));
    EXPECT_EQ(assignments[3].toObject(),
              QJsonObject({{"control", "IV"}, {"parameter", QJsonValue()}, {"address", QJsonValue()}}));
    EXPECT_EQ(assignments[4].toObject()["parameter"], QJsonValue("preset"));
    EXPECT_EQ(json["footswitch"].toObject(), QJsonObject({{"mode", 1}, {"short", "bypass"}, {"long", "bypass"}}));

    v[StatusIndex::FootswitchMode] = 7;
    const PedalReport odd = reportOf(v);
    EXPECT_TRUE(statusText(odd).contains("Footswitch: unknown (7)\n"));
    EXPECT_EQ(statusJson(odd)["footswitch"].toObject(),
              QJsonObject({{"mode", 7}, {"short", QJsonValue()}, {"long", QJsonValue()}}));
    EXPECT_TRUE(statusText(odd).contains("Control I: unknown (")) << "without the addresses nothing is named";
}

// A reply refused for its effect number still tells its versions.
TEST(CliReport, TheVersionsOfARefusedReplyAreStillTold)
{
    QByteArray v = currentValues();
    v[StatusIndex::Effect] = 5;
    const std::optional<Answer> versions = versionsAnswer(v);
    ASSERT_TRUE(versions);
    EXPECT_EQ(versions->text, "Firmware: 11\nAlgorithm: 0012\n");
    EXPECT_EQ(versions->json, QJsonObject({{"firmware", 11}, {"algorithm", 12}}));
    EXPECT_FALSE(versionsAnswer(v.left(2)));
}

TEST(CliReport, OnlyCurrentVersionsLetTheSettingsBeUsed)
{
    struct Case {
        const char *name;
        quint8 firmware;
        quint8 algorithmLow;
        const char *versions;
        const char *refusal; // nothing when the settings may be used
    };
    const Case cases[] = {
        {"both current", 11, 0x12, "current", nullptr},
        {"newer than the editor", 12, 0x13, "current", nullptr},
        {"old firmware", 10, 0x12, "firmware upgrade required",
         "A firmware upgrade is required. Upgrade to Firmware 11. Nothing was sent."},
        {"old algorithm", 11, 0x11, "algorithm upload required",
         "Upload the latest version of Vadrelon MK3 algorithm: Upload Vadrelon MK3 0012. Nothing was sent."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray v = currentValues();
        v[StatusIndex::Firmware] = char(c.firmware);
        v[StatusIndex::AlgorithmLow] = char(c.algorithmLow);
        const PedalReport r = reportOf(v);
        EXPECT_TRUE(statusText(r).contains(QStringLiteral("Versions: ") + c.versions));
        const std::optional<Error> refusal = refuseOutdated(r.verdict, kLatestFirmware, kLatestAlgorithm);
        EXPECT_EQ(refusal ? errorText(*refusal) : QString(), c.refusal ? c.refusal : "");
    }
}

TEST(CliReport, RepliesThatCannotBeTrustedAreRefused)
{
    struct Case {
        const char *name;
        QByteArray values;
        ErrorCode code;
    };
    QByteArray notBcd = currentValues();
    notBcd[StatusIndex::AlgorithmLow] = char(0x1A);
    QByteArray noSuchEffect = currentValues();
    noSuchEffect[StatusIndex::Effect] = 1; // the catalogue has one effect
    const Case cases[] = {
        {"89 values", currentValues().left(kStatusValueCount - 1), ErrorCode::ShortReply},
        {"algorithm version not BCD", notBcd, ErrorCode::UntrustedReply},
        {"effect beyond the catalogue", noSuchEffect, ErrorCode::UntrustedReply},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Result<PedalReport> r = readPedalReport(c.values, kCatalogue, kLatestFirmware, kLatestAlgorithm);
        ASSERT_TRUE(std::holds_alternative<Error>(r));
        EXPECT_EQ(std::get<Error>(r).code, c.code);
    }
}

// The pedal reports Low Pass, High Pass and Range as a step; the message must carry a level
// that the pedal turns back into that same step, or a loaded preset would not be what it says.
TEST(CliReport, StepsTravelAsLevelsThatThePedalReadsBackAsTheSameStep)
{
    struct Case {
        int index;
        int steps;
    };
    for (const Case c : {Case{ParLowPass, 24}, Case{ParHighPass, 16}, Case{ParRange, 22}}) {
        for (int step = 0; step <= c.steps; ++step) {
            const quint32 sent = liveValueFor(c.index, quint32(step));
            EXPECT_EQ(sent & 0x1FFF, 0u) << "a level, not a step";
            EXPECT_EQ(sim::levelValueToStep(sent, c.steps), quint32(step)) << "parameter " << c.index;
        }
    }
    for (int i : {int(ParDry), int(ParWave), int(ParSplit), int(ParHarmonicPitch), int(ParDominantNotesCut)})
        EXPECT_EQ(liveValueFor(i, 0x3FC001), 0x3FC001u) << "parameter " << i << " travels as reported";
}

class CliPresetChanges : public ::testing::Test {
protected:
    void SetUp() override
    {
        const AddressHeader header = addressHeaderFor(QStringLiteral("Vadrelon MK3 0012"), QString());
        ASSERT_EQ(header.source, AddressSource::ShippedHeader);
        ASSERT_EQ(readParameterAddresses(pedal, header.line), std::nullopt);
    }
    ParameterSet pedal; // what the pedal reported: every value 0
};

TEST_F(CliPresetChanges, OnlyWhatDiffersIsSentInBlockOrder)
{
    PresetValues wanted{};
    wanted[ParDryHPF] = 0x7FE000;
    wanted[ParDry] = 0x3FC000;
    wanted[ParLowPass] = 12;
    const Result<QList<ParameterChange>> r = presetChanges(pedal, wanted);
    ASSERT_TRUE(std::holds_alternative<QList<ParameterChange>>(r));
    const QList<ParameterChange> &changes = std::get<QList<ParameterChange>>(r);
    QStringList messages;
    for (const ParameterChange &c : changes)
        messages << c.message;
    // The addresses of the 0012 header: Dry 0025, Low Pass 00CF, Dry HPF 0006.
    EXPECT_EQ(messages,
              QStringList({"010025003FC000", "0100CF" + hex8(liveValueFor(ParLowPass, 12)), "010006007FE000"}));
    EXPECT_EQ(changes[1].from, 0u);
    EXPECT_EQ(changes[1].to, 12u) << "the answer shows the preset's value, not the level sent";
}

TEST_F(CliPresetChanges, NothingForAPresetThePedalAlreadyHolds)
{
    pedal.Wave.value = 0x400000;
    PresetValues wanted{};
    wanted[ParWave] = 0x400000;
    const Result<QList<ParameterChange>> r = presetChanges(pedal, wanted);
    ASSERT_TRUE(std::holds_alternative<QList<ParameterChange>>(r));
    EXPECT_TRUE(std::get<QList<ParameterChange>>(r).isEmpty());
}

TEST_F(CliPresetChanges, WithoutAddressesNothingIsSent)
{
    const ParameterSet unread;
    PresetValues wanted{};
    wanted[ParSubMix] = 1;
    const auto changes = presetChanges(unread, wanted);
    ASSERT_TRUE(std::holds_alternative<Error>(changes));
    // The first parameter that would change is named.
    EXPECT_EQ(std::get<Error>(changes), (Error{ErrorCode::AddressUnknown, "Sub Mix"}));
}

TEST(CliChoosePedal, TakesTheNamedOrTheOnlyPedal)
{
    QTemporaryDir dir;
    QFile a(dir.filePath("ttyA")), b(dir.filePath("ttyB"));
    ASSERT_TRUE(a.open(QIODevice::WriteOnly) && b.open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(a.fileName(), dir.filePath("by-id-A")));
    const PortInfo pa{a.fileName(), "VP1", "Pedal one", true, 0};
    const PortInfo pb{b.fileName(), "VP2", "Pedal two", true, 0};
    const PortInfo sameSerial{dir.filePath("ttyC"), "VP1", "Pedal three", false, 0};
    struct Case {
        const char *name;
        QList<PortInfo> ports;
        QString serial, path;
        const char *chosen; // serial number, or nothing
        QStringList says;   // lines of the refusal
    };
    const Case cases[] = {
        {"the only one", {pa}, {}, {}, "VP1", {}},
        {"by serial", {pa, pb}, "VP2", {}, "VP2", {}},
        {"by path", {pa, pb}, {}, b.fileName(), "VP2", {}},
        {"by a link to the path", {pa, pb}, {}, dir.filePath("by-id-A"), "VP1", {}},
        {"none", {}, {}, {}, nullptr, {"No pedal was found: plug one in, or start a virtual pedal."}},
        {"none with that serial", {}, "VP9", {}, nullptr, {"No pedal has the serial number VP9. No pedal was found."}},
        {"two",
         {pa, pb},
         {},
         {},
         nullptr,
         {"2 pedals found; choose one with --serial or --port.", "Pedals found (serial number, description, port):",
          "VP1\tPedal one\t" + a.fileName(), "VP2\tPedal two\t" + b.fileName()}},
        {"unknown serial",
         {pa},
         "VP9",
         {},
         nullptr,
         {"No pedal has the serial number VP9.",
          "Pedals found (serial number, description, port):", "VP1\tPedal one\t" + a.fileName()}},
        {"unknown path",
         {pa},
         {},
         "/dev/nothing",
         nullptr,
         {"No pedal is at /dev/nothing.",
          "Pedals found (serial number, description, port):", "VP1\tPedal one\t" + a.fileName()}},
        {"a path whose serial an earlier port has", {pa, sameSerial}, {}, sameSerial.path, nullptr, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Result<PortInfo> r = choosePedal(c.ports, c.serial, c.path);
        if (c.chosen) {
            ASSERT_TRUE(std::holds_alternative<PortInfo>(r)) << errorText(std::get<Error>(r)).toStdString();
            EXPECT_EQ(std::get<PortInfo>(r).serialNumber, c.chosen);
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<Error>(r));
        if (!c.says.isEmpty()) {
            EXPECT_EQ(errorText(std::get<Error>(r)).split('\n'), c.says);
        }
    }
}

TEST(CliPedalList, JsonHasOneEntryAPort)
{
    const QList<PortInfo> ports{{"/dev/ttyUSB0", "FT1", "Vadrelon MK3", false, 0},
                                {"/dev/pts/4", "VP1", "Vadrelon MK3 (virtual)", true, 42}};
    const QJsonArray list = pedalListJson(ports)["pedals"].toArray();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[1].toObject(), QJsonObject({{"serialNumber", "VP1"},
                                               {"description", "Vadrelon MK3 (virtual)"},
                                               {"port", "/dev/pts/4"},
                                               {"virtual", true}}));
    EXPECT_EQ(pedalListJson({})["pedals"].toArray().size(), 0);
}

} // namespace
