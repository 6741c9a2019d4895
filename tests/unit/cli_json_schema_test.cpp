// The documented JSON schema of `vadrelon --json` against what each answer builder makes, and
// the small checker those tests (and the end-to-end ones) rely on, shown to catch faults.
#include "cli/answers.h"
#include "cli/report.h"
#include "cli/terminal.h"
#include "effect/dialmapping.h"
#include "effect/valuetext.h"
#include "support/jsonschema.h"
#include "support/printers.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

using namespace vadrelon;
using namespace vadrelon::cli;

namespace {

QJsonObject schema()
{
    QFile f(QStringLiteral(VADRELON_SOURCE_DIR "/docs/vadrelon.schema.json"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << "the schema the README documents";
    return QJsonDocument::fromJson(f.readAll()).object();
}

QStringList violations(const QJsonValue &value, const char *definition)
{
    const QJsonObject root = schema();
    return test::schemaViolations(value, QJsonObject{{"$ref", QStringLiteral("#/$defs/") + definition}}, root);
}

TEST(CliJsonSchema, TheCheckerCatchesWhatBreaksTheSchema)
{
    const QJsonObject good{{"name", "Dry"}, {"value", 50.0}, {"unit", "%"}, {"raw", 4194304}};
    EXPECT_EQ(violations(good, "parameter"), QStringList());
    struct Broken {
        const char *what;
        QJsonObject value;
    };
    const auto with = [&](const char *key, const QJsonValue &v) {
        QJsonObject o = good;
        o.insert(key, v);
        return o;
    };
    QJsonObject missing = good;
    missing.remove("raw");
    const Broken cases[] = {
        {"a hex string for a number", with("raw", "00400000")},
        {"a fraction for an integer", with("raw", 1.5)},
        {"a unit not listed", with("unit", "percent")},
        {"a string for the value", with("value", "50.0 %")},
        {"a member missing", missing},
        {"a member not in the schema", with("hex", "00400000")},
        {"a negative raw value", with("raw", -1)},
    };
    for (const Broken &c : cases)
        EXPECT_FALSE(violations(c.value, "parameter").isEmpty()) << c.what;
    EXPECT_FALSE(violations(QJsonObject{{"parameter", good}}, "nothing").isEmpty()) << "an unknown definition";
}

TEST(CliJsonSchema, EveryAnswerFollowsIt)
{
    PresetValues values{};
    values[ParDry] = levelToValue(512);
    values[ParWave] = 0x123; // a value the switch does not take: null, still a parameter
    values[ParLowPass] = 12;
    const QList<ParameterChange> changes{{ParDry, 0, 0x3FC000, QString()}, {ParLowPass, 3, 12, QString()}};
    struct Case {
        const char *definition;
        QJsonObject json;
    };
    LibraryPreset held;
    held.bank = "Live";
    held.name = "Fat sub";
    held.path = "/p/Live/Fat sub.txt";
    held.modified = QDateTime(QDate(2026, 12, 11), QTime(13, 0));
    held.note = "low";
    held.values = values;
    LibraryPreset unreadable = held;
    unreadable.values.reset();
    unreadable.problem = "a named pipe";
    const Case cases[] = {
        {"version", versionAnswer("1.15.0.0").json},
        {"presetList", presetListAnswer("/p", {held, unreadable}, false, std::nullopt).json},
        {"presetList", presetListAnswer("/p", {held, unreadable}, true, 0).json},
        {"list", pedalListAnswer({PortInfo{"/dev/pts/3", "VP1", "Pedal", true, 0}}).json},
        {"set", parameterSetAnswer(ParLowPass, levelToValue(512)).json},
        {"set", parameterSetAnswer(ParHarmonicPitch, 0x500000).json},
        {"set", parameterSetAnswer(ParSplit, 1).json},
        {"assign", assignAnswer(CtrlIII, 1).json},
        {"assign", assignAnswer(CtrlRemote, 0).json},
        {"footswitch", footswitchAnswer({false, true, true, false}).json},
        {"bypass", bypassAnswer(false).json},
        {"store", storedAnswer(values).json},
        {"presetSave", presetSavedAnswer("live.txt", values).json},
        {"presetLoad", presetLoadedAnswer("live.txt", changes).json},
        {"tuningSet", tuningAnswer(7, -5).json},
        {"tuningUpload", tuningDataAnswer(641, 1).json},
        {"tuningUpload", tuningDataAnswer(641, 9).json},
        {"instrument", instrumentAnswer(false).json},
        {"midi", midiChannelAnswer("OMNI").json},
        {"midi", midiChannelAnswer("16").json},
        {"bypassStorage", bypassStorageAnswer(true).json},
        {"algorithmUpload", algorithmAnswer("a.dat", 4512, "Upload complete\r\n").json},
        {"upgrade", firmwareAnswer("FIRMWARE_11.bin", 52376, 11).json},
        {"eepromRead", memoryReadAnswer("50", "dump.bin", 16384).json},
        {"eepromErase", memoryErasedAnswer("51").json},
        {"coeff", std::get<Answer>(coefficientAnswer("D2", -6, 11)).json},
        {"checkUpdate", updateAnswer(QVersionNumber(1, 15), QVersionNumber(1, 16), "https://x/").json},
        {"failure", QJsonDocument::fromJson(errorJson("usage", "no command given").toUtf8()).object()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.definition);
        EXPECT_EQ(violations(c.json, c.definition), QStringList())
            << QJsonDocument(c.json).toJson(QJsonDocument::Compact).toStdString();
    }
    // Numbers where numbers belong.
    EXPECT_EQ(midiChannelAnswer("OMNI").json["midiChannel"], QJsonValue(0));
    EXPECT_EQ(memoryErasedAnswer("51").json["erased"], QJsonValue(0x51));
    const QJsonObject coeff = std::get<Answer>(coefficientAnswer("D2", -6, 11)).json;
    EXPECT_EQ(coeff["bytes"].toArray().first(), QJsonValue(0x00));
    EXPECT_EQ(coeff["bytes"].toArray()[1], QJsonValue(0x7F)) << "the table's bytes, '00', '7F', ...";
    EXPECT_EQ(coeff["bytes"].toArray().size(), 20);
    EXPECT_EQ(parameterSetAnswer(ParLowPass, levelToValue(levelForStep(12, 24))).json["parameter"].toObject()["value"],
              QJsonValue(12))
        << "a stepped knob's level reads as its step";
}

} // namespace
