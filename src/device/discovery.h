#pragma once
// Which serial ports may carry a pedal: the FTDI USB-serial ports the system knows, then the
// virtual pedals that announce themselves.
//
// A virtual pedal announces itself with a text file `<serial>.port` in virtualPedalsDir(),
// three lines: device path, serial number, description. It removes the file when it ends; a
// file left behind by a pedal that died is ignored once its device path is gone.
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace vadrelon {

struct PortInfo {
    QString path;
    QByteArray serialNumber;
    QByteArray description;
    // A pseudo-terminal served by a virtual pedal rather than a real USB-serial chip.
    bool virtualPedal = false;
};

// $VADRELON_VIRTUAL_PEDALS_DIR when set, else "vadrelon-virtual-pedals" in the user's runtime
// folder; empty when the system has no runtime folder.
QString virtualPedalsDir();

// Reads one announcement; nullopt unless it holds an absolute device path, a serial number
// and a description. Lines may end in LF or CR LF; lines after the third are ignored.
std::optional<PortInfo> parseAnnouncement(const QByteArray &text);

// The announcements in `dir` whose device path exists, ordered by file name.
QList<PortInfo> announcedPorts(const QString &dir);

// The FTDI ports (USB vendor 0x0403) in a Linux sysfs tty class folder: the port's path in
// devDir, and the serial number and product string of the USB device above it.
QList<PortInfo> ftdiPortsFromSysfs(const QString &ttyClassDir, const QString &devDir);

// FTDI ports (USB vendor 0x0403) first, in the system's order, then announcedPorts(virtualPedalsDir()).
QList<PortInfo> discoverPorts();

} // namespace vadrelon
