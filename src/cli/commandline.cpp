#include "cli/commandline.h"

#include "content/firmwaretable.h"
#include "content/tuning.h"
#include "device/eeprom.h"
#include "effect/parameters.h"

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

// One to eight hex digits, with or without 0x: the 32-bit value as the message carries it.
bool readValue(const QString &text, quint32 &value)
{
    static const QRegularExpression form(QStringLiteral("^(0[xX])?[0-9A-Fa-f]{1,8}$"));
    if (!form.match(text).hasMatch())
        return false;
    bool ok = false;
    value = text.toUInt(&ok, 16);
    return ok;
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
};

constexpr Spec kCommands[] = {
    {"list", Verb::List, 0, "list"},
    {"status", Verb::Status, 0, "status"},
    {"set", Verb::Set, 2, "set NAME VALUE"},
    {"store", Verb::Store, 0, "store"},
    {"preset save", Verb::PresetSave, 1, "preset save FILE"},
    {"preset load", Verb::PresetLoad, 1, "preset load FILE"},
    {"tuning set", Verb::TuningSet, 2, "tuning set INDEX SHIFT"},
    {"tuning upload", Verb::TuningUpload, 0, "tuning upload"},
    {"instrument", Verb::Instrument, 1, "instrument guitar|bass"},
    {"midi", Verb::Midi, 1, "midi omni|1..16"},
    {"bypass-storage", Verb::BypassStorage, 1, "bypass-storage on|off"},
    {"algorithm upload", Verb::AlgorithmUpload, 1, "algorithm upload FILE"},
    {"upgrade", Verb::Upgrade, 1, "upgrade FILE [--version N]"},
    {"eeprom read", Verb::EepromRead, 0, "eeprom read [--address 50|51] -o FILE"},
    {"eeprom erase", Verb::EepromErase, 0, "eeprom erase [--address 50|51]"},
    {"coeff", Verb::Coeff, 1, "coeff NOTE [--gain G] [--q Q]"},
    {"check-update", Verb::CheckUpdate, 0, "check-update"},
};

// The arguments after the command's words, checked and put into the command line.
std::optional<UsageError> readArguments(CommandLine &line, const QStringList &a)
{
    switch (line.verb) {
    case Verb::Set:
        line.parameter = parameterNamed(a[0]);
        if (line.parameter < 0)
            return usage(
                QStringLiteral("set: no parameter is called \"%1\"; the names are %2").arg(a[0], parameterNames()));
        if (!readValue(a[1], line.value))
            return usage(QStringLiteral("set: the value \"%1\" is no 32-bit hex number (e.g. 003FC000)").arg(a[1]));
        return std::nullopt;
    case Verb::PresetSave:
    case Verb::PresetLoad:
    case Verb::AlgorithmUpload:
        line.file = a[0];
        if (line.file.isEmpty())
            return usage(line.commandName + QStringLiteral(": the file name is empty"));
        return std::nullopt;
    case Verb::Upgrade:
        line.file = a[0];
        if (line.file.isEmpty())
            return usage(QStringLiteral("upgrade: the file name is empty"));
        // The version goes into the pedal's version record: it must be known, not guessed.
        if (line.firmwareVersion == 0)
            line.firmwareVersion = firmwareVersionFromFileName(QFileInfo(line.file).fileName()).value_or(0);
        if (line.firmwareVersion == 0)
            return usage(QStringLiteral("upgrade: give --version N, as the file's name (%1) does not say it the way "
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
        if (a[0] != QLatin1String("guitar") && a[0] != QLatin1String("bass"))
            return usage(QStringLiteral("instrument: guitar or bass, not \"%1\"").arg(a[0]));
        line.guitar = a[0] == QLatin1String("guitar");
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
    case Verb::BypassStorage:
        if (a[0] != QLatin1String("on") && a[0] != QLatin1String("off"))
            return usage(QStringLiteral("bypass-storage: on or off, not \"%1\"").arg(a[0]));
        line.store = a[0] == QLatin1String("on");
        return std::nullopt;
    case Verb::EepromRead:
    case Verb::EepromErase:
        if (std::holds_alternative<Error>(buildEepromEraseMessage(line.i2cAddress)))
            return usage(QStringLiteral("%1: --address is two hex digits (50 or 51), not \"%2\"")
                             .arg(line.commandName, line.i2cAddress));
        if (line.verb == Verb::EepromRead && line.output.isEmpty())
            return usage(QStringLiteral("eeprom read: give -o FILE for the 16384 bytes"));
        return std::nullopt;
    case Verb::Coeff:
        line.note = a[0];
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

std::variant<CommandLine, UsageError> parseCommandLine(const QStringList &args)
{
    CommandLine line;
    QStringList words;
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (optionsEnded || !arg.startsWith(QLatin1String("--"))) {
            if (!optionsEnded && arg == QLatin1String("-o")) {
                if (i + 1 >= args.size())
                    return usage(QStringLiteral("-o needs a file name"));
                line.output = args[++i];
                continue;
            }
            if (!optionsEnded && arg == QLatin1String("-h")) {
                line.verb = Verb::Help;
                return line;
            }
            // A word of a dash and a letter is an option, however much it looks like a word
            // of the command; a dash and a digit is a number ("tuning set 3 -1").
            if (!optionsEnded && arg.size() >= 2 && arg[0] == QLatin1Char('-') && !arg[1].isDigit())
                return usage(QStringLiteral("unknown option %1").arg(arg));
            words << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (arg == QLatin1String("--help")) {
            line.verb = Verb::Help;
            return line;
        } else if (arg == QLatin1String("--yes")) {
            line.yes = true;
        } else if (arg == QLatin1String("--json")) {
            line.json = true;
        } else if (arg == QLatin1String("--trace")) {
            line.trace = true;
        } else if (arg == QLatin1String("--address") || arg == QLatin1String("--output") ||
                   arg == QLatin1String("--gain") || arg == QLatin1String("--q")) {
            if (i + 1 >= args.size())
                return usage(arg + QStringLiteral(" needs a value"));
            const QString value = args[++i];
            if (arg == QLatin1String("--address"))
                line.i2cAddress = value;
            else if (arg == QLatin1String("--output"))
                line.output = value;
            else if (!readDecimal(value, arg == QLatin1String("--gain") ? line.gainDb : line.q))
                return usage(QStringLiteral("%1 needs a number, not \"%2\"").arg(arg, value));
        } else if (arg == QLatin1String("--version")) {
            int version = 0;
            if (i + 1 >= args.size() || !readInteger(args[i + 1], version) || version < 1 || version > 255)
                return usage(QStringLiteral("--version needs a firmware version from 1 to 255"));
            line.firmwareVersion = version;
            ++i;
        } else if (arg == QLatin1String("--serial") || arg == QLatin1String("--port")) {
            if (i + 1 >= args.size() || args[i + 1].isEmpty() || args[i + 1].startsWith(QLatin1String("--")))
                return usage(arg + QStringLiteral(" needs a value"));
            QString &target = arg == QLatin1String("--serial") ? line.serialNumber : line.port;
            if (!target.isEmpty())
                return usage(arg + QStringLiteral(" is given twice"));
            target = args[++i];
        } else {
            return usage(QStringLiteral("unknown option %1").arg(arg));
        }
    }
    if (!line.serialNumber.isEmpty() && !line.port.isEmpty())
        return usage(QStringLiteral("--serial and --port name the pedal twice; give one of them"));
    if (words.isEmpty())
        return usage(QStringLiteral("no command given"));

    // The longest command whose words begin the line: "preset save" before a lone "preset".
    const Spec *found = nullptr;
    int wordCount = 0;
    for (const Spec &spec : kCommands) {
        const QStringList own = QString::fromLatin1(spec.words).split(QLatin1Char(' '));
        if (own.size() > wordCount && words.mid(0, own.size()) == own) {
            found = &spec;
            wordCount = static_cast<int>(own.size());
        }
    }
    if (!found) {
        const QString first = words.first();
        QStringList meant;
        for (const Spec &spec : kCommands)
            if (QString::fromLatin1(spec.words).startsWith(first + QLatin1Char(' ')))
                meant << QString::fromLatin1(spec.synopsis);
        if (!meant.isEmpty())
            return usage(QStringLiteral("%1 what? (%2)").arg(first, meant.join(QStringLiteral(" | "))));
        return usage(QStringLiteral("unknown command \"%1\"").arg(words.join(QLatin1Char(' '))));
    }
    line.verb = found->verb;
    line.commandName = QString::fromLatin1(found->words);
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
    return QStringLiteral(
        "usage: vadrelon [--serial SN | --port DEVICE] [--yes] [--json] [--trace] COMMAND ...\n"
        "\n"
        "  list                          the pedals found (FTDI ports and announced virtual pedals)\n"
        "  status                        versions, effect, the 16 parameters, tuning and options\n"
        "  set NAME VALUE                one parameter by its name (\"Dry\", \"Sub Mix\" ...), the value\n"
        "                                its message carries as 32-bit hex (003FC000)\n"
        "  store                         Save Parameters: the pedal keeps its assignable parameters\n"
        "  preset save FILE              the pedal's sixteen values into a preset file\n"
        "  preset load FILE              the preset's values that differ from the pedal's, sent live\n"
        "  tuning set INDEX SHIFT        tuning 0..8 and semitone shift -5..+3\n"
        "  tuning upload                 the tuning filter table\n"
        "  instrument guitar|bass\n"
        "  midi omni|1..16\n"
        "  bypass-storage on|off\n"
        "  algorithm upload FILE         a raw algorithm image (.dat)\n"
        "  upgrade FILE [--version N]    the pedal's firmware from an image (.bin): into the bootloader,\n"
        "                                erase, write, verify, start; N from a name like FIRMWARE_11.bin\n"
        "  eeprom read [--address 50|51] -o FILE   the pedal's settings memory (16384 bytes) into FILE\n"
        "  eeprom erase [--address 50|51]          erase it\n"
        "  coeff NOTE [--gain G] [--q Q] the filter coefficient table for a note (A1 … G#5),\n"
        "                                -6 dB and Q 11 unless given; needs no pedal\n"
        "  check-update                  this version, the newest on the update server, and whether\n"
        "                                it is newer; needs no pedal\n"
        "\n"
        "Without --serial or --port the only pedal found is used. store, tuning upload, instrument,\n"
        "algorithm upload, upgrade and eeprom erase change what the pedal keeps and need --yes; preset save needs it "
        "to\n"
        "replace a file. --json prints the answer as one JSON object; --trace prints the exchange\n"
        "with the pedal on stderr.\n"
        "Exit status: 0 done, 1 the pedal or a file failed, 2 the command line was refused.\n");
}

} // namespace vadrelon::cli
