#include "support/safefile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vadrelon {

namespace {

Error refused(const QString &path, const QString &reason)
{
    return {ErrorCode::FileNotRead, QStringLiteral("\"%1\": %2").arg(QDir::toNativeSeparators(path), reason)};
}

QString notAFile(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder, not a file");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a named pipe, not a file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device, not a file");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not a file");
    return QStringLiteral("it is not a regular file");
}

QString tooLarge(qint64 cap)
{
    return QStringLiteral("it is larger than the %1 bytes such a file may have").arg(cap);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

} // namespace

Result<QByteArray> readRegularFile(const QString &path, qint64 cap)
{
    const QByteArray name = QFile::encodeName(path);
    // Looked at before the open too, so that no device is opened at all: opening one can do
    // things of its own (a terminal's lines change, a tape rewinds).
    struct stat seen {};
    if (::stat(name.constData(), &seen) != 0)
        return refused(path, qt_error_string(errno));
    if (!S_ISREG(seen.st_mode))
        return refused(path, notAFile(seen.st_mode));
    if (seen.st_size > cap)
        return refused(path, tooLarge(cap));

    // What was a file a moment ago may be a named pipe by now: without O_NONBLOCK the open
    // would wait for a writer that never comes.
    const Descriptor file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.fd() < 0)
        return refused(path, qt_error_string(errno));
    if (::fstat(file.fd(), &seen) != 0)
        return refused(path, qt_error_string(errno));
    if (!S_ISREG(seen.st_mode))
        return refused(path, notAFile(seen.st_mode));

    // The file may grow while it is read: the cap holds for what is read, not for its size.
    QByteArray bytes;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(file.fd(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return refused(path, qt_error_string(errno));
        if (n == 0)
            return bytes;
        if (bytes.size() + n > cap)
            return refused(path, tooLarge(cap));
        bytes.append(chunk, static_cast<qsizetype>(n));
    }
}

std::optional<Error> writeWholeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return Error{ErrorCode::FileNotWritten,
                     QStringLiteral("\"%1\": %2").arg(QDir::toNativeSeparators(path), file.errorString())};
    return std::nullopt;
}

} // namespace vadrelon
