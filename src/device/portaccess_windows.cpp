#include "device/portaccess.h"

namespace vadrelon {

std::unique_ptr<PortHold> holdPort(const QString &path, OpenFailure::Cause &why)
{
    // Windows opens a COM port for one program at a time, and denies the others access to it:
    // QSerialPort's own open is the hold.
    Q_UNUSED(path);
    Q_UNUSED(why);
    return std::make_unique<PortHold>();
}

} // namespace vadrelon
