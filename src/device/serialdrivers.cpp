#include "device/serialdrivers.h"

#include "device/qtserialdriver.h"

#if VADRELON_TERMIOS_DRIVER
#include "device/posixdriver.h"
#endif

namespace vadrelon {

std::unique_ptr<SerialDriver> makeSerialDriver()
{
#if VADRELON_TERMIOS_DRIVER
    // The termios driver stays the one on Linux: it sets the FTDI bridge's low-latency mode
    // and reads the framing back, neither of which QSerialPort can do.
    if (qEnvironmentVariable("VADRELON_SERIAL_DRIVER") != QLatin1String("qt"))
        return std::make_unique<PosixSerialDriver>();
#endif
    return std::make_unique<QtSerialDriver>();
}

} // namespace vadrelon
