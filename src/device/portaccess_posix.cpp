#include "device/portaccess.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vadrelon {

namespace {

// The lock lives on a descriptor of our own, opened before QSerialPort's: had it been taken on
// QSerialPort's and failed, closing that one would clear the exclusive flag of the program
// that holds the port.
class LockedDescriptor : public PortHold {
public:
    explicit LockedDescriptor(int fd) : fd_(fd) {}
    ~LockedDescriptor() override { ::close(fd_); }

private:
    int fd_;
};

OpenFailure::Cause openFailureCause(int error)
{
    using Cause = OpenFailure::Cause;
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return Cause::Gone;
    case EBUSY: // held with TIOCEXCL by another program
    case EWOULDBLOCK:
        return Cause::InUse;
    case EACCES:
    case EPERM:
        return Cause::PermissionDenied;
    case EISDIR:
    case ENOTDIR:
        return Cause::NotASerialPort;
    default:
        return Cause::Unknown;
    }
}

} // namespace

std::unique_ptr<PortHold> holdPort(const QString &path, OpenFailure::Cause &why)
{
    // QSerialPort answers "permission error" alike for a port barred to the user and for one
    // another program holds; this open tells the two apart. Its lock counts for root too,
    // whom the exclusive flag does not stop, and whose Qt lock file a termios driver never
    // looks at.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = openFailureCause(errno);
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        why = openFailureCause(errno);
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<LockedDescriptor>(fd);
}

} // namespace vadrelon
