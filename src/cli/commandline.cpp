#include "cli/commandline.h"

#include "content/firmwaretable.h"
#include "content/tuning.h"
#include "device/eeprom.h"
#include "effect/parameters.h"
#include "effect/valuetext.h"

#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace vadrelon::cli {

namespace {

UsageError usage(const QString &message)
{
    return UsageError{message};
}

// The documented name, in any case: "dry" finds "Dry", "sub mix" finds "Sub Mix".
int parameterNamed(const QString &name)
{
    const ParameterSet set;
    for (int i = 0; i < kParameterCount; ++i)
        if (set.row(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString parameterNames()
{
    const ParameterSet set;
    QStringList names;
    for (int i = 0; i < kParameterCount; ++i)
        names << QLatin1Char('"') + set.row(i).name + QLatin1Char('"');
    return names.join(QStringLiteral(", "));
}

// Plain decimal with an optional sign; "1e1", " 3" and "" are not numbers here.
bool readInteger(const QString &text, int &value)
{
    static const QRegularExpression form(QStringLiteral("^[+-]?[0-9]{1,4}$"));
    if (!form.match(text).hasMatch())
        return false;
    value = text.toInt();
    return true;
}

struct Spec {
    const char *words; // the command's own words
    Verb verb;
    int arguments; // after the words
    const char *synopsis;
    const char *summary; // one line of the list of commands
    const char *help;    // what it does and its options, lines within 80 columns
    const char *example;
};

constexpr Spec kCommands[] = {
    {"list", Verb::List, 0, "list", "the pedals found (FTDI ports, virtual pedals)",
     "Lists the pedals found, one a line: serial number, description, port.\n"
     "With none found it says so on stderr and exits 1.\n",
     "vadrelon list"},
    {"status", Verb::Status, 0, "status", "versions, effect, parameters and controls",
     "Reads the pedal's status: versions, effect, the 16 parameters in a player's\n"
     "terms with the raw value beside each, footswitch mode, assignments, tuning and\n"
     "options.\n",
     "vadrelon --json status"},
    {"set", Verb::Set, 2, "set NAME VALUE", "one parameter, live (\"Dry\" 50%)",
     "Sends one parameter's value live, after reading the pedal's status. VALUE is\n"
     "in the terms status shows: a level in percent (50%), a step for Low Pass,\n"
     "High Pass and Range (12), a pitch in semitones (+3), on or off for a switch;\n"
     "or raw as its message carries it (0x003FC000). A value out of range is\n"
     "refused and nothing is sent. A note cut goes on only with a tuning set.\n",
     "vadrelon set \"Low Pass\" 12"},
    {"assign", Verb::Assign, 2, "assign CONTROL PARAMETER|none", "put a parameter on a control",
     "Assigns a parameter to a control, keeping the others as the pedal has them.\n"
     "CONTROL is I, II, III, IV or remote. I and II take Input Level, 1st Harmonic\n"
     "Pitch, Wave Clip or Dry HPF; III and IV take Dominant Notes Cut or High Notes\n"
     "Cut (with a tuning set); remote takes bypass or preset; none frees it.\n",
     "vadrelon assign III \"Dominant Notes Cut\""},
    {"footswitch", Verb::Footswitch, 4, "footswitch short bypass|preset long bypass|preset",
     "what a short and a long press do",
     "Sets what a short and a long press of the pedal's footswitch do: bypass the\n"
     "effect, or change the preset.\n",
     "vadrelon footswitch short bypass long preset"},
    {"bypass", Verb::Bypass, 1, "bypass on|off", "bypass the effect, or bring it back",
     "Switches the pedal's bypass, as an upload leaves it on.\n", "vadrelon bypass off"},
    {"store", Verb::Store, 0, "store", "Save Parameters on the pedal (needs --yes)",
     "The pedal keeps its six assignable parameters as they are now. Needs --yes.\n", "vadrelon --yes store"},
    {"preset save", Verb::PresetSave, 1, "preset save FILE", "the pedal's values into a preset file",
     "Writes the pedal's sixteen values into a preset file (- for stdout). An\n"
     "existing file is replaced only with --yes.\n",
     "vadrelon preset save live.txt"},
    {"preset load", Verb::PresetLoad, 1, "preset load FILE|NAME", "a preset's values that differ, sent live",
     "Sends live each value of the preset (- for stdin) that differs from the pedal's.\n"
     "A preset of the library can be named as preset list shows it (bank/name).\n",
     "vadrelon preset load \"Live/Fat sub\""},
    {"preset list", Verb::PresetList, 0, "preset list [--match]", "the preset library (no pedal unless --match)",
     "Lists the editor's preset library, one preset a line: bank, name, date, note\n"
     "and path, a tab between them. Needs no pedal.\n"
     "  --match   read the pedal's values and mark the preset it holds with \"*\"\n",
     "vadrelon preset list --match"},
    {"tuning set", Verb::TuningSet, 2, "tuning set INDEX SHIFT", "tuning 0..8, semitone shift -5..+3",
     "Selects the tuning (0 none, 1 to 8) and the semitone shift (-5 to +3).\n", "vadrelon tuning set 1 -1"},
    {"tuning upload", Verb::TuningUpload, 0, "tuning upload", "the tuning filter table (needs --yes)",
     "Uploads the tuning filter table; the pedal is left bypassed. Needs --yes.\n", "vadrelon --yes tuning upload"},
    {"instrument", Verb::Instrument, 1, "instrument guitar|bass", "the instrument (needs --yes)",
     "Sets the instrument the pedal tracks. Needs --yes.\n", "vadrelon --yes instrument bass"},
    {"midi", Verb::Midi, 1, "midi omni|1..16", "the MIDI channel", "Sets the pedal's MIDI channel.\n",
     "vadrelon midi 5"},
    {"bypass-storage", Verb::BypassStorage, 1, "bypass-storage on|off", "whether the bypass is kept",
     "Sets whether the pedal keeps its bypass over a power cycle.\n", "vadrelon bypass-storage on"},
    {"algorithm upload", Verb::AlgorithmUpload, 1, "algorithm upload FILE", "an algorithm image (needs --yes)",
     "Uploads a raw algorithm image (.dat); the pedal is left bypassed. Needs --yes.\n",
     "vadrelon --yes algorithm upload VADRELON_MK3_0012.dat"},
    {"upgrade", Verb::Upgrade, 1, "upgrade FILE [--firmware-version N]", "the firmware (needs --yes)",
     "Installs a firmware image (.bin) through the pedal's bootloader: erase, write,\n"
     "verify, start. N (1 to 255) comes from a name like FIRMWARE_11.bin unless\n"
     "given. Needs --yes.\n"
     "  --firmware-version N   the version the image is recorded as\n",
     "vadrelon --yes upgrade FIRMWARE_11.bin"},
    {"eeprom read", Verb::EepromRead, 0, "eeprom read [--address 50|51] -o FILE", "the settings memory into FILE",
     "Reads the pedal's settings memory (16384 bytes) into FILE (- for stdout).\n"
     "  --address 50|51   the memory's I2C address (50 unless given)\n"
     "  -o, --output FILE where the bytes go; replaced only with --yes\n",
     "vadrelon eeprom read -o dump.bin"},
    {"eeprom erase", Verb::EepromErase, 0, "eeprom erase [--address 50|51]", "erase it (needs --yes)",
     "Erases the pedal's settings memory. Needs --yes.\n"
     "  --address 50|51   the memory's I2C address (50 unless given)\n",
     "vadrelon --yes eeprom erase"},
    {"coeff", Verb::Coeff, 1, "coeff NOTE [--gain G] [--q Q]", "a note's filter coefficients (no pedal)",
     "Prints the filter coefficient table for a note (A1 to G#5); needs no pedal.\n"
     "  --gain G   the cut in dB (-6 unless given)\n"
     "  --q Q      the filter's Q, above 0 (11 unless given)\n",
     "vadrelon coeff D2 --gain -6 --q 11"},
    {"check-update", Verb::CheckUpdate, 0, "check-update", "whether a newer editor is out (no pedal)",
     "Asks the update server for the newest editor's version; needs no pedal.\n", "vadrelon check-update"},
    {"help", Verb::Help, -1, "help [COMMAND]", "the commands, or one command's help",
     "Lists the commands, or shows one command's synopsis, options and an example.\n", "vadrelon help set"},
};

bool isWord(const QString &text, const char *word)
{
    return text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

// "on" or "off", in any case.
std::optional<bool> onOffWord(const QString &text)
{
    if (isWord(text, "on"))
        return true;
    if (isWord(text, "off"))
        return false;
    return std::nullopt;
}

// The control a word names: I .. IV as on the pedal, or remote.
int controlNamed(const QString &word)
{
    const char *const names[] = {"I", "II", "III", "IV", "remote"};
    for (int c = 0; c < kControlCount; ++c)
        if (isWord(word, names[c]))
            return c;
    return -1;
}

// The arguments after the command's words, checked and put into the command line.
std::optional<UsageError> readArguments(CommandLine &line, const QStringList &a)
{
    switch (line.verb) {
    case Verb::Set:
        line.parameter = parameterNamed(a[0]);
        if (line.parameter < 0)
            return usage(
                QStringLiteral("set: no parameter is called \"%1\"; the names are %2").arg(a[0], parameterNames()));
        {
            const Result<quint32> value = parseValueText(line.parameter, a[1]);
            if (const Error *error = std::get_if<Error>(&value))
                return usage(
                    QStringLiteral("set: %1 for %2").arg(error->detail, ParameterSet().row(line.parameter).name));
            line.value = std::get<quint32>(value);
        }
        return std::nullopt;
    case Verb::Assign: {
        line.control = controlNamed(a[0]);
        if (line.control < 0)
            return usage(QStringLiteral("assign: the control is I, II, III, IV or remote, not \"%1\"").arg(a[0]));
        const QStringList entries = controlListEntries(line.control);
        line.controlEntry = isWord(a[1], "none") ? 0 : -1;
        for (int k = 1; k < entries.size() && line.controlEntry < 0; ++k)
            if (entries[k].compare(a[1], Qt::CaseInsensitive) == 0)
                line.controlEntry = k;
        if (line.controlEntry < 0) {
            QStringList takes;
            for (const QString &e : entries.mid(1))
                takes << QLatin1Char('"') + e + QLatin1Char('"');
            return usage(QStringLiteral("assign: control %1 takes %2 or none, not \"%3\"")
                             .arg(a[0].toUpper() == QLatin1String("REMOTE") ? QStringLiteral("remote") : a[0].toUpper(),
                                  takes.join(QStringLiteral(", ")), a[1]));
        }
        return std::nullopt;
    }
    case Verb::Footswitch: {
        std::optional<bool> shortBypass, longBypass;
        for (int i = 0; i + 1 < a.size(); i += 2) {
            std::optional<bool> &press = isWord(a[i], "short") ? shortBypass : longBypass;
            if ((!isWord(a[i], "short") && !isWord(a[i], "long")) || press)
                return usage(QStringLiteral("footswitch: short bypass|preset long bypass|preset, not \"%1\"")
                                 .arg(a.join(QLatin1Char(' '))));
            if (isWord(a[i + 1], "bypass"))
                press = true;
            else if (isWord(a[i + 1], "preset"))
                press = false;
            else
                return usage(QStringLiteral("footswitch: a %1 press does bypass or preset, not \"%2\"")
                                 .arg(a[i].toLower(), a[i + 1]));
        }
        line.footswitch = {*shortBypass, !*shortBypass, *longBypass, !*longBypass};
        return std::nullopt;
    }
    case Verb::Bypass: {
        const std::optional<bool> on = onOffWord(a[0]);
        if (!on)
            return usage(QStringLiteral("bypass: on or off, not \"%1\"").arg(a[0]));
        line.bypassOn = *on;
        return std::nullopt;
    }
    case Verb::PresetSave:
    case Verb::PresetLoad:
    case Verb::AlgorithmUpload:
        line.file = a[0];
        if (line.file.isEmpty())
            return usage(line.commandName + QStringLiteral(": the file name is empty"));
        if (line.verb == Verb::PresetSave && isStandardStream(line.file) && line.json)
            return usage(QStringLiteral("preset save: - and --json would both write to stdout"));
        return std::nullopt;
    case Verb::Upgrade:
        line.file = a[0];
        if (line.file.isEmpty())
            return usage(QStringLiteral("upgrade: the file name is empty"));
        // The version goes into the pedal's version record: it must be known, not guessed.
        if (line.firmwareVersion == 0)
            line.firmwareVersion = firmwareVersionFromFileName(QFileInfo(line.file).fileName()).value_or(0);
        if (line.firmwareVersion == 0)
            return usage(
                QStringLiteral("upgrade: give --firmware-version N, as the file's name (%1) does not say it the way "
                               "FIRMWARE_11.bin does")
                    .arg(QFileInfo(line.file).fileName()));
        return std::nullopt;
    case Verb::TuningSet: {
        const bool numbers = readInteger(a[0], line.tuningIndex) && readInteger(a[1], line.semitoneShift);
        // The message builder is the one judge of what the pedal may be sent.
        if (!numbers || std::holds_alternative<Error>(buildTuningMessage(line.tuningIndex, line.semitoneShift)))
            return usage(QStringLiteral("tuning set: INDEX is %1 to %2 and SHIFT is %3 to +%4, not \"%5\" and \"%6\"")
                             .arg(0)
                             .arg(kTuningCount - 1)
                             .arg(kLowestSemitoneShift)
                             .arg(kHighestSemitoneShift)
                             .arg(a[0], a[1]));
        return std::nullopt;
    }
    case Verb::Instrument:
        if (!isWord(a[0], "guitar") && !isWord(a[0], "bass"))
            return usage(QStringLiteral("instrument: guitar or bass, not \"%1\"").arg(a[0]));
        line.guitar = isWord(a[0], "guitar");
        return std::nullopt;
    case Verb::Midi: {
        int channel = 0;
        if (a[0].compare(QLatin1String("omni"), Qt::CaseInsensitive) == 0)
            line.midiItem = QStringLiteral("OMNI");
        else if (readInteger(a[0], channel) && channel >= 1 && channel <= 16 && !a[0].startsWith(QLatin1Char('+')))
            line.midiItem = QString::number(channel);
        else
            return usage(QStringLiteral("midi: omni or a channel from 1 to 16, not \"%1\"").arg(a[0]));
        return std::nullopt;
    }
    case Verb::BypassStorage: {
        const std::optional<bool> on = onOffWord(a[0]);
        if (!on)
            return usage(QStringLiteral("bypass-storage: on or off, not \"%1\"").arg(a[0]));
        line.store = *on;
        return std::nullopt;
    }
    case Verb::EepromRead:
    case Verb::EepromErase:
        if (std::holds_alternative<Error>(buildEepromEraseMessage(line.i2cAddress)))
            return usage(QStringLiteral("%1: --address is two hex digits (50 or 51), not \"%2\"")
                             .arg(line.commandName, line.i2cAddress));
        if (line.verb == Verb::EepromRead && line.output.isEmpty())
            return usage(QStringLiteral("eeprom read: give -o FILE for the 16384 bytes"));
        if (line.verb == Verb::EepromRead && isStandardStream(line.output) && line.json)
            return usage(QStringLiteral("eeprom read: -o - and --json would both write to stdout"));
        return std::nullopt;
    case Verb::Coeff:
        line.note = a[0].toUpper();
        if (!calculatorNoteNames().contains(line.note))
            return usage(QStringLiteral("coeff: the note is one of A1 … G#5, not \"%1\"").arg(a[0]));
        if (line.q <= 0)
            return usage(QStringLiteral("coeff: --q must be above 0"));
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

// A decimal number with a point, as scripts write it.
bool readDecimal(const QString &text, double &out)
{
    bool ok = false;
    out = QLocale::c().toDouble(text, &ok);
    return ok && std::isfinite(out); // "nan" and "inf" read as numbers, but are none
}

} // namespace

bool needsConfirmation(Verb verb)
{
    switch (verb) {
    case Verb::Store:
    case Verb::TuningUpload:
    case Verb::Instrument:
    case Verb::AlgorithmUpload:
    case Verb::Upgrade:
    case Verb::EepromErase:
        return true;
    default:
        return false;
    }
}

bool isStandardStream(const QString &file)
{
    return file == QLatin1String("-");
}

namespace {

struct Option {
    const char *name; // without its dashes
    char letter;      // its short form, or 0
    bool takesValue;
};

constexpr Option kOptions[] = {
    {"serial", 0, true},   {"port", 0, true},    {"yes", 'y', false},     {"json", 'j', false},
    {"trace", 0, false},   {"help", 'h', false}, {"version", 'V', false}, {"address", 0, true},
    {"output", 'o', true}, {"gain", 0, true},    {"q", 0, true},          {"firmware-version", 0, true},
    {"match", 0, false},
};

const Option *optionNamed(const QString &name)
{
    for (const Option &o : kOptions)
        if (name == QLatin1String(o.name))
            return &o;
    return nullptr;
}

const Option *optionLettered(QChar letter)
{
    for (const Option &o : kOptions)
        if (o.letter != 0 && letter == QLatin1Char(o.letter))
            return &o;
    return nullptr;
}

// The longest command whose words begin the line, in any case: "preset save" before a lone
// "preset".
const Spec *commandAt(const QStringList &words, int &wordCount)
{
    const Spec *found = nullptr;
    wordCount = 0;
    for (const Spec &spec : kCommands) {
        const QStringList own = QString::fromLatin1(spec.words).split(QLatin1Char(' '));
        if (own.size() <= wordCount || own.size() > words.size())
            continue;
        bool same = true;
        for (int i = 0; i < own.size() && same; ++i)
            same = words[i].compare(own[i], Qt::CaseInsensitive) == 0;
        if (same) {
            found = &spec;
            wordCount = static_cast<int>(own.size());
        }
    }
    return found;
}

} // namespace

std::variant<CommandLine, UsageError> parseCommandLine(const QStringList &args)
{
    CommandLine line;
    QStringList words;
    bool optionsEnded = false;
    bool helpAsked = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        // A single dash is stdin or stdout, and a dash and a digit a number ("tuning set 3 -1")
        // or a name ("-1 Oct").
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg.size() == 1 || arg[1].isDigit()) {
            words << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const Option *option = nullptr;
        std::optional<QString> value;
        QString shown = arg;
        if (arg.startsWith(QLatin1String("--"))) {
            const qsizetype equals = arg.indexOf(QLatin1Char('='));
            shown = arg.left(equals);
            option = optionNamed(shown.mid(2));
            if (equals >= 0)
                value = arg.mid(equals + 1);
        } else if (arg.size() == 2) {
            option = optionLettered(arg[1]);
        }
        if (!option)
            return usage(QStringLiteral("unknown option %1").arg(shown));
        const QString name = QLatin1String(option->name);
        if (!option->takesValue) {
            if (value)
                return usage(QStringLiteral("%1 takes no value").arg(shown));
            if (name == QLatin1String("help"))
                helpAsked = true;
            else if (name == QLatin1String("version"))
                line.verb = Verb::Version;
            else if (name == QLatin1String("yes"))
                line.yes = true;
            else if (name == QLatin1String("json"))
                line.json = true;
            else if (name == QLatin1String("match"))
                line.match = true;
            else
                line.trace = true;
            continue;
        }
        if (!value) {
            // A value that looks like the next option is a value forgotten.
            if (i + 1 >= args.size() || args[i + 1].startsWith(QLatin1String("--")))
                return usage(shown + QStringLiteral(" needs a value"));
            value = args[++i];
        }
        if (name == QLatin1String("serial") || name == QLatin1String("port")) {
            if (value->isEmpty())
                return usage(shown + QStringLiteral(" needs a value"));
            QString &target = name == QLatin1String("serial") ? line.serialNumber : line.port;
            if (!target.isEmpty())
                return usage(QStringLiteral("--%1 is given twice").arg(name));
            target = *value;
        } else if (name == QLatin1String("address")) {
            line.i2cAddress = *value;
        } else if (name == QLatin1String("output")) {
            if (value->isEmpty())
                return usage(shown + QStringLiteral(" needs a file name"));
            line.output = *value;
        } else if (name == QLatin1String("firmware-version")) {
            int version = 0;
            if (!readInteger(*value, version) || version < 1 || version > 255)
                return usage(
                    QStringLiteral("--firmware-version needs a version from 1 to 255, not \"%1\"").arg(*value));
            line.firmwareVersion = version;
        } else if (!readDecimal(*value, name == QLatin1String("gain") ? line.gainDb : line.q)) {
            return usage(QStringLiteral("%1 needs a number, not \"%2\"").arg(shown, *value));
        }
    }
    // The program's version and help come before any check of the rest of the line.
    if (line.verb == Verb::Version)
        return line;
    int wordCount = 0;
    const Spec *found = commandAt(words, wordCount);
    if (helpAsked || (found && found->verb == Verb::Help)) {
        line.verb = Verb::Help;
        const QStringList topic = !found                      ? words
                                  : found->verb == Verb::Help ? words.mid(wordCount)
                                                              : words.mid(0, wordCount);
        line.helpTopic = topic.join(QLatin1Char(' '));
        if (!line.helpTopic.isEmpty() && !commandHelp(line.helpTopic))
            return usage(QStringLiteral("help: no command is called \"%1\"").arg(line.helpTopic));
        return line;
    }
    if (!line.serialNumber.isEmpty() && !line.port.isEmpty())
        return usage(QStringLiteral("--serial and --port name the pedal twice; give one of them"));
    if (words.isEmpty())
        return usage(QStringLiteral("no command given"));
    if (!found) {
        const QString first = words.first();
        QStringList meant;
        for (const Spec &spec : kCommands)
            if (QString::fromLatin1(spec.words).startsWith(first.toLower() + QLatin1Char(' ')))
                meant << QString::fromLatin1(spec.synopsis);
        if (!meant.isEmpty())
            return usage(QStringLiteral("%1 what? (%2)").arg(first, meant.join(QStringLiteral(" | "))));
        return usage(QStringLiteral("unknown command \"%1\"").arg(words.join(QLatin1Char(' '))));
    }
    line.verb = found->verb;
    line.commandName = QString::fromLatin1(found->words);
    if (line.match && line.verb != Verb::PresetList)
        return usage(QStringLiteral("--match belongs to preset list"));
    const QStringList arguments = words.mid(wordCount);
    if (arguments.size() != found->arguments)
        return usage(
            QStringLiteral("%1 takes %2 (usage: vadrelon %3)")
                .arg(line.commandName)
                .arg(found->arguments == 0
                         ? QStringLiteral("no arguments")
                         : QStringLiteral("%1 argument%2").arg(found->arguments).arg(found->arguments == 1 ? "" : "s"))
                .arg(QString::fromLatin1(found->synopsis)));
    if (std::optional<UsageError> error = readArguments(line, arguments))
        return *error;
    if (needsConfirmation(line.verb) && !line.yes)
        return usage(QStringLiteral("%1 changes what the pedal keeps: give --yes to go ahead").arg(line.commandName));
    return line;
}

QString usageText()
{
    QString text = QStringLiteral("usage: vadrelon [--serial SN | --port DEVICE] [-y] [-j] [--trace] COMMAND ...\n"
                                  "       vadrelon --version | --help | help COMMAND\n\n");
    for (const Spec &spec : kCommands) {
        const QString synopsis = QString::fromLatin1(spec.synopsis);
        const QString summary = QString::fromLatin1(spec.summary);
        // The summary beside a short synopsis, under a long one.
        if (synopsis.size() <= 30)
            text += QStringLiteral("  %1%2\n").arg(synopsis, -32).arg(summary);
        else
            text += QStringLiteral("  %1\n  %2%3\n").arg(synopsis, QString(32, QLatin1Char(' ')), summary);
    }
    text += QStringLiteral("\n"
                           "  --serial SN        the pedal with this serial number (vadrelon list)\n"
                           "  --port DEVICE      the pedal on this terminal device, found or not\n"
                           "  -y, --yes          go ahead with a command that changes what the pedal keeps,\n"
                           "                     or replace an existing file\n"
                           "  -j, --json         the answer, or the failure, as one JSON object\n"
                           "  --trace            the exchange with the pedal on stderr\n"
                           "  -h, --help         this help, or a command's (vadrelon COMMAND --help)\n"
                           "  -V, --version      the program's version\n"
                           "\n"
                           "Without --serial or --port the only pedal found is used. Options take their\n"
                           "value as --option VALUE or --option=VALUE.\n"
                           "Exit status: 0 done, 1 the pedal or a file failed, 2 the command line was\n"
                           "refused.\n");
    return text;
}

std::optional<QString> commandHelp(const QString &topic)
{
    int wordCount = 0;
    const QStringList words = topic.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const Spec *spec = commandAt(words, wordCount);
    if (!spec || wordCount != words.size())
        return std::nullopt;
    return QStringLiteral("usage: vadrelon [OPTIONS] %1\n\n%2\nExample:\n  %3\n")
        .arg(QString::fromLatin1(spec->synopsis), QString::fromLatin1(spec->help), QString::fromLatin1(spec->example));
}

QStringList commandNames()
{
    QStringList names;
    for (const Spec &spec : kCommands)
        names << QString::fromLatin1(spec.words);
    return names;
}

} // namespace vadrelon::cli
