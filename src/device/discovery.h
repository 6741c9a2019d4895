#pragma once
// Which serial ports may carry a pedal: the FTDI USB-serial ports the system knows, then the
// virtual pedals that announce themselves.
//
// A virtual pedal announces itself with a text file `<serial>.port` in virtualPedalsDir(),
// three lines: device path, serial number, description, and a fourth with its process id. It
// removes the file when it ends; a file left behind by a pedal that died is passed over once
// its process has ended or its device path is no terminal.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace vadrelon {

struct PortInfo {
    QString path;
    QByteArray serialNumber;
    QByteArray description;
    // A pseudo-terminal served by a virtual pedal rather than a real USB-serial chip.
    bool virtualPedal = false;
    // The announcing program's process id; 0 when its announcement gives none.
    qint64 processId = 0;
};

// The ports found, and the announcements passed over, one sentence each saying why.
struct Discovered {
    QList<PortInfo> ports;
    QStringList skipped;
};

// $VADRELON_VIRTUAL_PEDALS_DIR when set, else "vadrelon-virtual-pedals" in the user's runtime
// folder; empty when the system has no runtime folder.
QString virtualPedalsDir();

// Reads one announcement; nullopt unless it holds an absolute device path, a serial number
// and a description. A fourth line is the process id when it is a positive whole number and
// is ignored otherwise, as announcements of three lines are still written. Lines may end in LF
// or CR LF; lines after the fourth are ignored.
std::optional<PortInfo> parseAnnouncement(const QByteArray &text);

// The announcements `<name>.port` in `dir`, ordered by file name, that are regular files of at
// most kAnnouncementCap bytes, whose process (when they give one) still runs, and whose device
// path opens as a terminal (or is held by a program for itself, as only terminals are).
Discovered announcedPorts(const QString &dir);

// The FTDI ports (USB vendor 0x0403) in a Linux sysfs tty class folder: the port's path in
// devDir, and the serial number and product string of the USB device above it.
QList<PortInfo> ftdiPortsFromSysfs(const QString &ttyClassDir, const QString &devDir);

// Whether one of the ports is at path, links followed.
bool listsPath(const QList<PortInfo> &ports, const QString &path);

// A port named by its path rather than found: taken when it opens as a terminal, its serial
// number its path (no chip reports one), else the reason it cannot be a pedal's port.
std::variant<PortInfo, QString> namedTerminal(const QString &path);

// FTDI ports (USB vendor 0x0403) first, in the system's order, then announcedPorts(virtualPedalsDir()).
Discovered discoverPorts();

} // namespace vadrelon
