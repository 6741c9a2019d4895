#pragma once
// The command line of `vadrelon`, read into one command before anything else happens: a line
// that cannot be carried out as written is refused here, so that no pedal is touched for it.
#include "effect/messages.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace vadrelon::cli {

enum class Verb {
    Help,
    Version,
    List,
    Status,
    Set,
    Store,
    PresetSave,
    PresetLoad,
    PresetList,
    TuningSet,
    TuningUpload,
    Instrument,
    Midi,
    BypassStorage,
    Bypass,
    Assign,
    Footswitch,
    AlgorithmUpload,
    Upgrade,
    EepromRead,
    EepromErase,
    Coeff,
    CheckUpdate,
};

struct CommandLine {
    Verb verb = Verb::Help;
    QString serialNumber; // --serial
    QString port;         // --port
    bool yes = false;
    bool json = false;
    bool trace = false;
    bool match = false; // preset list: mark the preset the pedal holds

    int parameter = -1;  // set: block index
    quint32 value = 0;   // set: the value the parameter message carries
    QString file;        // preset save/load, algorithm upload
    int tuningIndex = 0; // tuning set
    int semitoneShift = 0;
    bool guitar = true;                        // instrument
    QString midiItem;                          // midi: "OMNI" or "1".."16", as the window's menu items read
    bool store = false;                        // bypass-storage
    bool bypassOn = false;                     // bypass
    int control = -1;                          // assign: CtrlI .. CtrlRemote
    int controlEntry = 0;                      // assign: the entry of the control's list, 0 for none
    FootswitchButtons footswitch;              // footswitch
    QString i2cAddress = QStringLiteral("50"); // eeprom: --address
    QString output;                            // eeprom read: -o FILE, "-" for stdout
    QString note;                              // coeff: the note's name ("D2")
    double gainDb = -6.0;                      // coeff: --gain
    double q = 11.0;                           // coeff: --q
    int firmwareVersion = 0;                   // upgrade: --firmware-version, or the one the file's name gives
    QString commandName;                       // "preset save", as the answers and errors name the command
    QString helpTopic;                         // help: a command's words, or empty for all of them
};

struct UsageError {
    QString message;
};

// Usage errors end the program with this status; a pedal or file that fails, with 1.
constexpr int kUsageExitCode = 2;
constexpr int kFailureExitCode = 1;

// args without the program's name. Options may stand anywhere; "--" ends them, and a single
// dash is no option, so that "-1 Oct" and a shift of -5 read as they are written.
std::variant<CommandLine, UsageError> parseCommandLine(const QStringList &args);

// Commands that change what the pedal keeps; the window asks before each, the command line
// wants --yes instead.
bool needsConfirmation(Verb verb);

// Standing for stdout (-o) or stdin (preset load) in place of a file name.
bool isStandardStream(const QString &file);

// The commands and options, every line within 80 columns.
QString usageText();
// One command's synopsis, what it does, its options and an example; nothing for a topic
// that is no command.
std::optional<QString> commandHelp(const QString &topic);
// The commands' words ("preset save"), as completion offers them.
QStringList commandNames();

} // namespace vadrelon::cli
