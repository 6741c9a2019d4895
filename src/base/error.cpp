#include "base/error.h"

namespace vadrelon {

namespace {

// " /dev/ttyUSB0", or nothing when the driver could not tell the path.
QString spacedPath(const QString &path)
{
    return path.isEmpty() ? QString() : QLatin1Char(' ') + path;
}

} // namespace

QString errorText(const Error &error, Audience audience)
{
    const bool window = audience == Audience::Window;
    const QString again =
        window ? QStringLiteral("choose Connection → Link again") : QStringLiteral("run the command again");
    const QString upgradeAgain =
        window ? QStringLiteral("link to it again (Connection → Link finds it there), then choose Firmware Upgrade → "
                                "Start Firmware Upgrade")
               : QStringLiteral("run vadrelon --yes upgrade FILE again (it finds the pedal there)");
    switch (error.code) {
    case ErrorCode::Transport:
    case ErrorCode::OpenFailed:
    case ErrorCode::UntrustedReply:
    case ErrorCode::VersionsOutdated:
    case ErrorCode::AddressesUnreadable:
    case ErrorCode::FirmwareTooOld:
    case ErrorCode::BootloaderNotEntered:
    case ErrorCode::FileInTheWay:
    case ErrorCode::NoSuchPedal:
    case ErrorCode::DumpGarbled:
    case ErrorCode::DumpShort:
    case ErrorCode::BadInput:
    case ErrorCode::UpdateFailed:
        return error.detail;
    case ErrorCode::AddressUnknown:
        return QStringLiteral("The parameters of this effect cannot be edited: the pedal's address for %1 is not "
                              "known. Nothing was sent.")
            .arg(error.detail);
    case ErrorCode::UploadNotConfirmed:
        return QStringLiteral("The pedal answered \"%1\", not \"Upload complete\": it may not have taken the "
                              "algorithm. %2")
            .arg(error.detail, window ? QStringLiteral("Upload it again.") : QStringLiteral("Run the command again."));
    case ErrorCode::PortGone:
        return window
                   ? QStringLiteral("The pedal is no longer connected. Plug it in again and choose Connection → Link.")
                   : QStringLiteral("The pedal is no longer connected. Plug it in again and run the command again.");
    case ErrorCode::PortInUse:
        return QStringLiteral("The pedal's port%1 is in use by another program. Close that program (another "
                              "editor, a terminal program) and %2.")
            .arg(spacedPath(error.detail), again);
    case ErrorCode::PermissionDenied:
        // Both ways are named: which one this system uses to grant serial ports is not known
        // here, and a udev rule may not be installed yet.
        return QStringLiteral("You may not open the pedal's port%1 (permission denied). Add yourself to the group "
                              "that may use serial ports (on Debian and Ubuntu: sudo adduser $USER dialout, then "
                              "log out and in again), or install a udev rule that gives the user at the computer "
                              "access to the pedal; the README's section \"The pedal without root\" tells how.")
            .arg(spacedPath(error.detail));
    case ErrorCode::NotASerialPort:
        return QStringLiteral("The pedal's path%1 is no serial port. %2")
            .arg(spacedPath(error.detail), window
                                               ? QStringLiteral("Choose Connection → Scan to look for the pedal again.")
                                               : QStringLiteral("Run vadrelon list to see the pedals found."));
    case ErrorCode::NoAnswer:
        return window ? QStringLiteral("The pedal did not answer the %1. Check that it is powered and linked, then try "
                                       "again.")
                            .arg(error.detail)
                      : QStringLiteral("The pedal did not answer the %1. Check that it is powered and its cable "
                                       "plugged in, then run the command again.")
                            .arg(error.detail);
    case ErrorCode::NoAnswerAfterCut:
        return QStringLiteral("The pedal did not answer the status request. It may still be taking the image of an "
                              "upload that did not end (%1). Unplug the pedal, plug it in again, and %2.")
            .arg(error.detail,
                 window ? QStringLiteral("choose Connection → Link") : QStringLiteral("run the command again"));
    case ErrorCode::ShortReply:
        return QStringLiteral("The pedal's answer was incomplete (%1 values). Check the cable and %2.")
            .arg(error.detail,
                 window ? QStringLiteral("press Request to try again") : QStringLiteral("run the command again"));
    case ErrorCode::GarbledReply:
        return QStringLiteral("The pedal's answer was garbled (%1). %2")
            .arg(error.detail,
                 window ? QStringLiteral("Press Request to try again.") : QStringLiteral("Run the command again."));
    case ErrorCode::InBootloader:
        return window
                   ? QStringLiteral("The pedal is waiting in its bootloader, without working firmware, as an upgrade "
                                    "that did not finish leaves it. Choose Connection → Unlink, then Connection → "
                                    "Link, which finds it there, and install its firmware.")
                   : QStringLiteral("The pedal is waiting in its bootloader, without working firmware, as an upgrade "
                                    "that did not finish leaves it. Install its firmware with vadrelon --yes "
                                    "upgrade FILE.");
    case ErrorCode::Busy:
        return QStringLiteral("The pedal is busy with another exchange. Try again when it has finished.");
    case ErrorCode::NotRead:
        return QStringLiteral("The pedal's settings have not been read since it was linked, so the editor does not "
                              "know what it would store. %1")
            .arg(window ? QStringLiteral("Press Request, then try again.") : QStringLiteral("Run the command again."));
    case ErrorCode::NotLinked:
        return window ? QStringLiteral("No pedal is linked. Choose Connection → Link first.")
                      : QStringLiteral("The link to the pedal was closed. Run the command again.");
    case ErrorCode::WriteStalled:
        return QStringLiteral("The pedal stopped taking data (%1). Check the cable and %2.")
            .arg(error.detail, window ? QStringLiteral("link again") : QStringLiteral("run the command again"));
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
        // The window's link is still the bootloader's, so Link itself is not offered until Unlink.
        return QStringLiteral("The firmware upgrade stopped at %1. The pedal waits in its bootloader without working "
                              "firmware. %2")
            .arg(error.detail,
                 window ? QStringLiteral("Run the upgrade again (Upgrade Firmware or From File…). A new link finds the "
                                         "pedal there too: Connection → Unlink, then Connection → Link.")
                        : QStringLiteral("Run vadrelon --yes upgrade FILE again: it finds the pedal there."));
    case ErrorCode::UpgradeCut:
        return QStringLiteral("The firmware upgrade stopped at %1: the pedal is no longer connected, and it has no "
                              "working firmware. Plug it in again with its SHIFT button held, then %2.")
            .arg(error.detail, window ? QStringLiteral("choose Connection → Link and Firmware Upgrade → Start Firmware "
                                                       "Upgrade")
                                      : QStringLiteral("run vadrelon --yes upgrade FILE again"));
    case ErrorCode::StartNotConfirmed:
        return QStringLiteral("The new firmware was written, verified and recorded, but the pedal did not confirm "
                              "that it started it (%1). Unplug the pedal and plug it in again to start it. If it "
                              "then does not answer, plug it in with its SHIFT button held and %2.")
            .arg(error.detail, upgradeAgain);
    case ErrorCode::PresetNotLoaded:
        return QStringLiteral("Error loading file: ") + error.detail;
    case ErrorCode::PresetNotSaved:
        return QStringLiteral("Error saving file: ") + error.detail;
    }
    return error.detail;
}

} // namespace vadrelon
