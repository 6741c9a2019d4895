#include "device/error.h"

namespace vadrelon {

namespace {

// " /dev/ttyUSB0", or nothing when the driver could not tell the path.
QString spacedPath(const QString &path)
{
    return path.isEmpty() ? QString() : QLatin1Char(' ') + path;
}

} // namespace

QString errorText(const Error &error)
{
    switch (error.code) {
    case ErrorCode::Transport:
    case ErrorCode::OpenFailed:
    case ErrorCode::UntrustedReply:
    case ErrorCode::Missing:
    case ErrorCode::BadInput:
    case ErrorCode::UpdateFailed:
        return error.detail;
    case ErrorCode::PortGone:
        return QStringLiteral("The pedal is no longer connected. Plug it in again and choose Connection → Link.");
    case ErrorCode::PortInUse:
        return QStringLiteral("The pedal's port%1 is in use by another program. Close that program (another "
                              "editor, a terminal program) and choose Connection → Link again.")
            .arg(spacedPath(error.detail));
    case ErrorCode::PermissionDenied:
        // Both ways are named: which one this system uses to grant serial ports is not known
        // here, and a udev rule may not be installed yet.
        return QStringLiteral("You may not open the pedal's port%1. Add yourself to the group that may use "
                              "serial ports (on Debian and Ubuntu: sudo adduser $USER dialout, then log out "
                              "and in again), or install a udev rule that gives the user at the computer "
                              "access to the pedal.")
            .arg(spacedPath(error.detail));
    case ErrorCode::NotASerialPort:
        return QStringLiteral("The pedal's path%1 is no serial port. Choose Connection → Scan to look for the "
                              "pedal again.")
            .arg(spacedPath(error.detail));
    case ErrorCode::NoAnswer:
        return QStringLiteral("The pedal did not answer the %1. Check that it is powered and linked, then try again.")
            .arg(error.detail);
    case ErrorCode::ShortReply:
        return QStringLiteral("The pedal's answer was incomplete (%1 values). "
                              "Check the cable and press Request to try again.")
            .arg(error.detail);
    case ErrorCode::GarbledReply:
        return QStringLiteral("The pedal's answer was garbled (%1). Press Request to try again.").arg(error.detail);
    case ErrorCode::Busy:
        return QStringLiteral("The pedal is busy with another exchange. Try again when it has finished.");
    case ErrorCode::NotRead:
        return QStringLiteral(
            "The pedal's settings have not been read since it was linked, so the editor does not know "
            "what it would store. Press Request, then try again.");
    case ErrorCode::NotLinked:
        return QStringLiteral("No pedal is linked. Choose Connection → Link first.");
    case ErrorCode::WriteStalled:
        return QStringLiteral("The pedal stopped taking data (%1). Check the cable and link again.").arg(error.detail);
    case ErrorCode::FolderNotCreated:
        return QStringLiteral("Error creating folder: ") + error.detail;
    case ErrorCode::SubfolderNotCreated:
        return QStringLiteral("Error creating subfolder: ") + error.detail;
    case ErrorCode::FileNotRead:
        return QStringLiteral("Error reading file ") + error.detail;
    case ErrorCode::FileNotWritten:
        return QStringLiteral("Error writing file ") + error.detail;
    case ErrorCode::ResourceMissing:
    case ErrorCode::ResourceUnreadable:
        return QStringLiteral("Error loading resource: ") + error.detail;
    case ErrorCode::BadCatalogue:
        return QStringLiteral("The effect catalogue is damaged: ") + error.detail;
    case ErrorCode::BadImage:
        return QStringLiteral("The algorithm image is damaged: ") + error.detail;
    case ErrorCode::BadFirmwareImage:
        return QStringLiteral("This firmware image cannot be installed: %1. Nothing was erased.").arg(error.detail);
    case ErrorCode::UpgradeFailed:
        return QStringLiteral("The firmware upgrade stopped at %1. The pedal waits in its bootloader without working "
                              "firmware. Link to it again (Connection → Link finds it there), then choose Firmware "
                              "Upgrade → Start Firmware Upgrade.")
            .arg(error.detail);
    case ErrorCode::PresetNotLoaded:
        return QStringLiteral("Error loading file: ") + error.detail;
    case ErrorCode::PresetNotSaved:
        return QStringLiteral("Error saving file: ") + error.detail;
    }
    return error.detail;
}

} // namespace vadrelon
