#pragma once
// The one error type of the core: a code and the context that makes it specific (the step,
// the offending value, the driver's status). The core returns it and never opens a dialog;
// the windows and the command line turn it into text with errorText and decide whether to
// show it.
#include <QString>
#include <variant>

namespace vadrelon {

enum class ErrorCode {
    Transport,            // a driver call failed; detail: the operation's name and status text
    OpenFailed,           // the port could not be opened; detail as Transport
    PortGone,             // the pedal went away (cable pulled, port closed under us)
    PortInUse,            // another program holds the pedal's port; detail: the port's path
    PermissionDenied,     // the user may not open the pedal's port; detail: the port's path
    NotASerialPort,       // the pedal's path names no serial port; detail: the path
    NoAnswer,             // the pedal stayed silent; detail: what went unanswered
    NoAnswerAfterCut,     // no status reply after an upload was cut off; detail: how it was left
    ShortReply,           // a status reply with too few values; detail: "<got> of <wanted>"
    GarbledReply,         // a reply that is no status reply; detail: the reader's reason
    UntrustedReply,       // a reply that reads but cannot be so; detail: the sentence
    InBootloader,         // the pedal's bootloader answered a request of the firmware; detail: what came back
    Busy,                 // another exchange runs
    NotRead,              // the pedal's settings were not read since it was linked
    NotLinked,            // no pedal is linked
    WriteStalled,         // the port took no more bytes within the bound
    VersionsOutdated,     // the pedal's versions forbid using its settings; detail: the sentence
    AddressesUnreadable,  // the effect's parameter addresses could not be read; detail: the sentence
    AddressUnknown,       // a parameter to send whose address on the pedal is not known; detail: its name
    UploadNotConfirmed,   // the pedal answered an algorithm upload, but not that it took it; detail: its answer
    FirmwareTooOld,       // the running firmware cannot be sent into its bootloader; detail: the sentence
    BootloaderNotEntered, // the pedal was asked into its bootloader and did not go; detail: the sentence
    FileInTheWay,         // a file the command would write exists and was not to be replaced; detail: the sentence
    NoSuchPedal,          // no pedal, or not the one named, was found; detail: the sentence and what was found
    DumpGarbled,          // the answer to a memory read is no dump; detail: the sentence
    DumpShort,            // a memory dump that stopped short; detail: the sentence
    FolderNotCreated,     // a settings folder could not be made; detail: the system's reason
    SubfolderNotCreated,  // likewise the product's folder inside it
    FileNotRead,          // a settings file could not be read; detail: "<path>": <system's reason>
    FileNotWritten,       // a settings file could not be written; detail as FileNotRead
    ResourceMissing,      // no embedded resource has the name; detail: `no resource named "<name>"`
    ResourceUnreadable,   // the resource is there but cannot be read; detail: the name and reason
    BadCatalogue,         // the catalogue's first entry names no version; detail: the entry and why
    BadImage,             // an algorithm image breaks its layout; detail: the reader's reason
    BadInput,             // a text typed in a tool that is no valid message; detail: the sentence
    BadFirmwareImage,     // a firmware image that cannot be installed; detail: why
    UpgradeFailed,        // a bootloader step failed; detail: the step, its address and what came back
    UpgradeCut,           // the pedal went away during the upgrade; detail: the step and its address
    StartNotConfirmed,    // the image was verified and recorded, but Go failed; detail: the step and what came back
    PresetNotLoaded,      // a preset file could not be read or is not one; detail: "<path>": <reason>
    PresetNotSaved,       // a preset file could not be written; detail as PresetNotLoaded
    UpdateFailed,         // the update server gave no usable answer, or an update step failed; detail: the sentence
};

struct Error {
    ErrorCode code;
    QString detail;
    bool operator==(const Error &o) const { return code == o.code && detail == o.detail; }
};

template <typename T>
using Result = std::variant<T, Error>;

// Who reads an error: a player at the windows, or at a shell. The facts are the same for
// both; the way out names the controls of the one or the commands of the other.
enum class Audience { Window, Command };

// The sentence a person reads for an error.
QString errorText(const Error &error, Audience audience = Audience::Window);

} // namespace vadrelon
