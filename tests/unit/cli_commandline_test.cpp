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
        {"set|Dry|003FC000",
         [](const CommandLine &c) {
             EXPECT_EQ(c.verb, Verb::Set);
             EXPECT_EQ(c.parameter, ParDry);
             EXPECT_EQ(c.value, 0x3FC000u);
         }},
        {"set|sub mix|0x1",
         [](const CommandLine &c) {
             EXPECT_EQ(c.parameter, ParSubMix) << "names in any case";
             EXPECT_EQ(c.value, 1u);
         }},
        {"set|-1 Oct|FFFFFFFF",
         [](const CommandLine &c) {
             EXPECT_EQ(c.parameter, ParMinus1Oct) << "a single dash is no option";
             EXPECT_EQ(c.value, 0xFFFFFFFFu);
         }},
        {"set|1st Harmonic Pitch|800000", [](const CommandLine &c) { EXPECT_EQ(c.parameter, ParHarmonicPitch); }},
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
        {"store|-h", [](const CommandLine &c) { EXPECT_EQ(c.verb, Verb::Help) << "help before the --yes check"; }},
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
        {"preset", "preset what? (preset save FILE | preset load FILE)"},
        {"preset|copy|a.txt", "preset what?"},
        {"status|now", "status takes no arguments"},
        {"set|Dry", "set takes 2 arguments (usage: vadrelon set NAME VALUE)"},
        {"set|Volume|1", "no parameter is called \"Volume\""},
        {"set|Dry|123456789", "no 32-bit hex number"},
        {"set|Dry|-1", "no 32-bit hex number"},
        {"set|Dry|0x", "no 32-bit hex number"},
        {"set|Dry|3FC000G", "no 32-bit hex number"},
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
        {"-y|store", "unknown option -y"},
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

} // namespace
