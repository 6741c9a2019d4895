#pragma once
// The one place where the driver of the system's serial ports is made, for the editor, the
// command, the end-to-end tests and the measurements alike.
#include "device/d2xx.h"

#include <memory>

namespace vadrelon {

// The termios driver where the build has it (Linux), unless the environment variable
// VADRELON_SERIAL_DRIVER is "qt"; the Qt Serial Port driver everywhere else.
std::unique_ptr<SerialDriver> makeSerialDriver();

} // namespace vadrelon
