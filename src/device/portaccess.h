#pragma once
// The hold on a port that the Qt Serial Port driver takes of the system itself, before
// QSerialPort opens the port: the termios driver's lock, so that editors on either driver keep
// each other out. One file for each kind of system, chosen by the build.
#include "device/d2xx.h"

#include <QString>
#include <memory>

namespace vadrelon {

class PortHold {
public:
    PortHold() = default;
    virtual ~PortHold() = default;
    PortHold(const PortHold &) = delete;
    PortHold &operator=(const PortHold &) = delete;
};

// Holds the port at path for this program, or answers null and says why it cannot.
std::unique_ptr<PortHold> holdPort(const QString &path, OpenFailure::Cause &why);

} // namespace vadrelon
