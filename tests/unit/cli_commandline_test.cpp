// The command line of `vadrelon`: what each line becomes, and which lines are refused before
// anything reaches a pedal.
#include "cli/commandline.h"
#include "effect/parameters.h"
#include "support/printers.h"

#include <gtest/gtest.h>

using namespace vadrelon;
using namespace vadrelon::cli;

namespace {

QStringList split(const char *line)
{
    // "|" separates arguments, so that an argument may hold a blank ("Sub Mix").
    return QString::fromUtf8(line).split(QLatin1Char('|'), Qt::SkipEmptyParts);
}

struct Good {
    const char *line;
    std::function<void(const CommandLine &)> expect;
};

TEST(CliCommandLine, ReadsEachCommandWithItsArguments)
{
    const Good cases[] = {
        {"status", [](const CommandLine &c) { EXPECT_EQ(c.verb, Verb::Status); }},
        {"status|--json",
         [](const CommandLine &c) {
             EXPECT_TRUE(c.json) << "options may follow the command";
             EXPECT_FALSE(c.yes);
         }},
        {"--serial|VP000002|--trace|list",
         [](const CommandLine &c) {
             EXPECT_EQ(c.verb, Verb::List);
             EXPECT_EQ(c.serialNumber, "VP000002");
             EXPECT_TRUE(c.trace);
         }},
        {"--port|/dev/ttyUSB1|status", [](const CommandLine &c) { EXPECT_EQ(c.port, "/dev/ttyUSB1"); }},
        {"set|Dry|0x003FC000",
         [](const CommandLine &c) {
             EXPECT_EQ(c.verb, Verb::Set);
             EXPECT_EQ(c.parameter, ParDry);
             EXPECT_EQ(c.value, 0x3FC000u);
         }},
        {"set|sub mix|50%",
         [](const CommandLine &c) {
             EXPECT_EQ(c.parameter, ParSubMix) << "names in any case";
             EXPECT_EQ(c.value, 0x400000u);
         }},
        {"set|-1 Oct|12.5",
         [](const CommandLine &c) {
             EXPECT_EQ(c.parameter, ParMinus1Oct) << "a single dash is no option";
             EXPECT_EQ(c.value, 0x100000u);
         }},
        {"set|1st Harmonic Pitch|-12",
         [](const CommandLine &c) {
             EXPECT_EQ(c.parameter, ParHarmonicPitch);
             EXPECT_EQ(c.value, 0x200000u) << "a dash and a digit is a number";
         }},
        {"set|Split|ON", [](const CommandLine &c) { EXPECT_EQ(c.value, 1u); }},
        {"assign|iii|dominant notes cut",
         [](const CommandLine &c) {
             EXPECT_EQ(c.verb, Verb::Assign);
             EXPECT_EQ(c.control, CtrlIII);
             EXPECT_EQ(c.controlEntry, 1);
         }},
        {"assign|II|Dry HPF", [](const CommandLine &c) { EXPECT_EQ(c.controlEntry, 4); }},
        {"assign|Remote|Preset",
         [](const CommandLine &c) {
             EXPECT_EQ(c.control, CtrlRemote);
             EXPECT_EQ(c.controlEntry, 2);
         }},
        {"assign|I|none", [](const CommandLine &c) { EXPECT_EQ(c.controlEntry, 0); }},
        {"footswitch|short|preset|long|bypass",
         [](const CommandLine &c) {
             EXPECT_EQ(c.verb, Verb::Footswitch);
             EXPECT_EQ(c.footswitch, (FootswitchButtons{false, true, true, false}));
         }},
        {"footswitch|LONG|preset|short|Bypass",
         [](const CommandLine &c) {
             EXPECT_EQ(c.footswitch, (FootswitchButtons{true, false, false, true}));
         }},
        {"bypass|off",
         [](const CommandLine &c) {
             EXPECT_EQ(c.verb, Verb::Bypass);
             EXPECT_FALSE(c.bypassOn);
         }},
        {"BYPASS|On", [](const CommandLine &c) { EXPECT_TRUE(c.bypassOn) << "words in any case"; }},
        {"--version", [](const CommandLine &c) { EXPECT_EQ(c.verb, Verb::Version); }},
        {"-V|status", [](const CommandLine &c) { EXPECT_EQ(c.verb, Verb::Version); }},
        {"-y|-j|store",
         [](const CommandLine &c) {
             EXPECT_TRUE(c.yes);
             EXPECT_TRUE(c.json);
         }},
        {"--serial=VP1|--output=-|eeprom|read",
         [](const CommandLine &c) {
             EXPECT_EQ(c.serialNumber, "VP1");
             EXPECT_EQ(c.output, "-");
         }},
        {"eeprom|read|-o|-", [](const CommandLine &c) { EXPECT_TRUE(isStandardStream(c.output)); }},
        {"preset|load|-", [](const CommandLine &c) { EXPECT_EQ(c.file, "-") << "a lone dash is stdin"; }},
        {"--yes|upgrade|maker.bin|--firmware-version=9", [](const CommandLine &c) { EXPECT_EQ(c.firmwareVersion, 9); }},
        {"--yes|upgrade|FIRMWARE_11.bin", [](const CommandLine &c) { EXPECT_EQ(c.firmwareVersion, 11); }},
        {"help", [](const CommandLine &c) { EXPECT_EQ(c.helpTopic, ""); }},
        {"help|preset|save",
         [](const CommandLine &c) {
             EXPECT_EQ(c.verb, Verb::Help);
             EXPECT_EQ(c.helpTopic, "preset save");
         }},
        {"set|--help", [](const CommandLine &c) { EXPECT_EQ(c.helpTopic, "set"); }},
        {"coeff|d2", [](const CommandLine &c) { EXPECT_EQ(c.note, "D2"); }},
        {"--yes|Instrument|BASS", [](const CommandLine &c) { EXPECT_FALSE(c.guitar); }},
        {"--yes|store", [](const CommandLine &c) { EXPECT_EQ(c.verb, Verb::Store); }},
        {"preset|save|live.txt",
         [](const CommandLine &c) {
             EXPECT_EQ(c.verb, Verb::PresetSave);
             EXPECT_EQ(c.file, "live.txt");
             EXPECT_EQ(c.commandName, "preset save");
         }},
        {"preset|load|--|--odd.txt",
         [](const CommandLine &c) {
             EXPECT_EQ(c.verb, Verb::PresetLoad);
             EXPECT_EQ(c.file, "--odd.txt") << "-- ends the options";
         }},
        {"tuning|set|7|-5",
         [](const CommandLine &c) {
             EXPECT_EQ(c.verb, Verb::TuningSet);
             EXPECT_EQ(c.tuningIndex, 7);
             EXPECT_EQ(c.semitoneShift, -5);
         }},
        {"tuning|set|8|+3",
         [](const CommandLine &c) {
             EXPECT_EQ(c.tuningIndex, 8);
             EXPECT_EQ(c.semitoneShift, 3);
         }},
        {"tuning|set|0|0", [](const CommandLine &c) { EXPECT_EQ(c.tuningIndex, 0); }},
        {"tuning|upload|--yes", [](const CommandLine &c) { EXPECT_EQ(c.verb, Verb::TuningUpload); }},
        {"--yes|instrument|bass",
         [](const CommandLine &c) {
             EXPECT_EQ(c.verb, Verb::Instrument);
             EXPECT_FALSE(c.guitar);
         }},
        {"--yes|instrument|guitar", [](const CommandLine &c) { EXPECT_TRUE(c.guitar); }},
        {"midi|omni", [](const CommandLine &c) { EXPECT_EQ(c.midiItem, "OMNI"); }},
        {"midi|OMNI", [](const CommandLine &c) { EXPECT_EQ(c.midiItem, "OMNI"); }},
        {"midi|1", [](const CommandLine &c) { EXPECT_EQ(c.midiItem, "1"); }},
        {"midi|16", [](const CommandLine &c) { EXPECT_EQ(c.midiItem, "16"); }},
        {"bypass-storage|on", [](const CommandLine &c) { EXPECT_TRUE(c.store); }},
        {"bypass-storage|off", [](const CommandLine &c) { EXPECT_FALSE(c.store); }},
        {"--yes|algorithm|upload|new.dat",
         [](const CommandLine &c) {
             EXPECT_EQ(c.verb, Verb::AlgorithmUpload);
             EXPECT_EQ(c.file, "new.dat");
         }},
        {"--help", [](const CommandLine &c) { EXPECT_EQ(c.verb, Verb::Help); }},
        {"store|-h",
         [](const CommandLine &c) {
             EXPECT_EQ(c.verb, Verb::Help) << "help before the --yes check";
             EXPECT_EQ(c.helpTopic, "store");
         }},
    };
    for (const Good &c : cases) {
        SCOPED_TRACE(c.line);
        const auto parsed = parseCommandLine(split(c.line));
        if (const UsageError *error = std::get_if<UsageError>(&parsed)) {
            ADD_FAILURE() << "refused: " << error->message.toStdString();
            continue;
        }
        c.expect(std::get<CommandLine>(parsed));
    }
}

TEST(CliCommandLine, RefusesLinesThatCannotBeCarriedOutAsWritten)
{
    struct Bad {
        const char *line;
        const char *says; // a part of the message
    };
    const Bad cases[] = {
        {"", "no command given"},
        {"--json", "no command given"},
        {"frobnicate", "unknown command \"frobnicate\""},
        {"preset", "preset what? (preset save FILE | preset load FILE|NAME | preset list [--match])"},
        {"status|--match", "--match belongs to preset list"},
        {"preset|copy|a.txt", "preset what?"},
        {"status|now", "status takes no arguments"},
        {"set|Dry", "set takes 2 arguments (usage: vadrelon set NAME VALUE)"},
        {"set|Volume|1", "no parameter is called \"Volume\""},
        {"set|Dry|101%", "set: \"101%\" is not a level from 0 to 100 % for Dry"},
        {"set|Dry|-1", "is not a level from 0 to 100 %"},
        {"set|Dry|003FC000", "is not a level"},
        {"set|Dry|0xFFFFFFFF", "is not a raw value from 0x00000000 to 0x007FE000"},
        {"set|Wave|0x00500000", "is not the raw value 0x00400000 or 0x00600000"},
        {"set|Split|2", "is not on or off for Split"},
        {"set|Low Pass|25", "is not a step from 0 to 24"},
        {"set|1st Harmonic Pitch|+13", "is not a pitch from -12 to +12"},
        {"assign|V|Dry HPF", "the control is I, II, III, IV or remote"},
        {"assign|III|Dry HPF", "control III takes \"Dominant Notes Cut\", \"High Notes Cut\" or none"},
        {"assign|remote|Input Level", "control remote takes \"Bypass\", \"Preset\" or none"},
        {"assign|I", "assign takes 2 arguments"},
        {"footswitch|short|bypass", "footswitch takes 4 arguments"},
        {"footswitch|short|bypass|short|preset", "short bypass|preset long bypass|preset"},
        {"footswitch|short|mute|long|preset", "a short press does bypass or preset, not \"mute\""},
        {"bypass|yes", "bypass: on or off"},
        {"--yes=1|store", "--yes takes no value"},
        {"--serial=|status", "--serial needs a value"},
        {"--json|eeprom|read|-o|-", "-o - and --json would both write to stdout"},
        {"--yes|upgrade|maker.bin|--firmware-version|0", "--firmware-version needs a version from 1 to 255"},
        {"--yes|upgrade|maker.bin", "give --firmware-version N"},
        {"help|frobnicate", "help: no command is called \"frobnicate\""},
        {"preset|load", "preset load takes 1 argument"},
        {"tuning|set|9|0", "INDEX is 0 to 8 and SHIFT is -5 to +3"},
        {"tuning|set|-1|0", "INDEX is 0 to 8"},
        {"tuning|set|0|-6", "INDEX is 0 to 8"},
        {"tuning|set|0|4", "INDEX is 0 to 8"},
        {"tuning|set|one|0", "INDEX is 0 to 8"},
        {"tuning|set|1|1.5", "INDEX is 0 to 8"},
        {"--yes|instrument|ukulele", "guitar or bass"},
        {"midi|0", "omni or a channel from 1 to 16"},
        {"midi|17", "omni or a channel from 1 to 16"},
        {"midi|+5", "omni or a channel from 1 to 16"},
        {"bypass-storage|yes", "on or off"},
        {"--serial|A|--port|/dev/ttyUSB0|status", "--serial and --port name the pedal twice"},
        {"--serial|A|--serial|B|status", "--serial is given twice"},
        {"status|--serial", "--serial needs a value"},
        {"--serial|--yes|store", "--serial needs a value"},
        {"--verbose|status", "unknown option --verbose"},
        {"-x|store", "unknown option -x"},
        {"--yess|store", "unknown option --yess"},
        {"status|-v", "unknown option -v"},
        {"coeff|A2|--gain|nan", "--gain needs a number, not \"nan\""},
        {"coeff|A2|--gain|-inf", "--gain needs a number"},
        {"coeff|A2|--q|inf", "--q needs a number"},
        // Commands that change what the pedal keeps, without --yes.
        {"store", "store changes what the pedal keeps: give --yes"},
        {"tuning|upload", "tuning upload changes what the pedal keeps"},
        {"instrument|bass", "instrument changes what the pedal keeps"},
        {"algorithm|upload|new.dat", "algorithm upload changes what the pedal keeps"},
    };
    for (const Bad &c : cases) {
        SCOPED_TRACE(c.line);
        const auto parsed = parseCommandLine(split(c.line));
        const UsageError *error = std::get_if<UsageError>(&parsed);
        ASSERT_NE(error, nullptr) << "taken";
        EXPECT_TRUE(error->message.contains(QString::fromUtf8(c.says))) << error->message.toStdString();
    }
}

// Every line of help fits a terminal of 80 columns, and each command has its own help with
// an example of it.
TEST(CliCommandLine, HelpFitsEightyColumnsAndCoversEveryCommand)
{
    QStringList texts{usageText()};
    for (const QString &name : commandNames()) {
        SCOPED_TRACE(name.toStdString());
        const std::optional<QString> help = commandHelp(name);
        ASSERT_TRUE(help);
        EXPECT_TRUE(help->contains("\nExample:\n  vadrelon ")) << help->toStdString();
        EXPECT_TRUE(usageText().contains("\n  " + name)) << "listed among the commands";
        texts << *help;
    }
    for (const QString &text : texts)
        for (const QString &line : text.split('\n'))
            EXPECT_LE(line.size(), 80) << line.toStdString();
    EXPECT_FALSE(commandHelp("preset"));
}

} // namespace
