#include "base/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

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

// The file that a write to path lands in: links are followed to their end, as the shell's ">"
// does, so that a link the user keeps stays a link and the file it names gets the content.
QString linkedFile(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.filePath();
}

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

std::optional<Error> checkWritable(const QString &path)
{
    const auto failed = [&](const QString &reason) {
        return Error{ErrorCode::FileNotWritten,
                     QStringLiteral("\"%1\": %2").arg(QDir::toNativeSeparators(path), reason)};
    };
    if (path.isEmpty())
        return failed(qt_error_string(ENOENT));

    // Looked at, never opened: opening a named pipe for writing waits for a reader, and opening
    // a device can do things of its own. Only a regular file is ever replaced.
    const QByteArray name = QFile::encodeName(path);
    struct stat seen {};
    const bool exists = ::stat(name.constData(), &seen) == 0;
    if (!exists && errno != ENOENT)
        return failed(qt_error_string(errno));
    if (exists && !S_ISREG(seen.st_mode))
        return failed(notAFile(seen.st_mode));
    // The folder would let the file be replaced, but a file made read-only is kept.
    if (exists && ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0)
        return failed(qt_error_string(errno));
    // The temporary file is made beside the file the write lands in.
    const QString folder = QFileInfo(linkedFile(path)).absolutePath();
    struct stat dir {};
    if (::stat(QFile::encodeName(folder).constData(), &dir) != 0)
        return failed(qt_error_string(errno));
    if (!S_ISDIR(dir.st_mode))
        return failed(qt_error_string(ENOTDIR));
    if (::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK, AT_EACCESS) != 0)
        return failed(qt_error_string(errno));
    return std::nullopt;
}

std::optional<Error> writeWholeFile(const QString &path, const QByteArray &bytes)
{
    const auto failed = [&](const QString &reason) {
        return Error{ErrorCode::FileNotWritten,
                     QStringLiteral("\"%1\": %2").arg(QDir::toNativeSeparators(path), reason)};
    };
    if (std::optional<Error> refused = checkWritable(path))
        return refused;
    const QByteArray name = QFile::encodeName(path);
    struct stat seen {};
    const bool exists = ::stat(name.constData(), &seen) == 0;

    const QByteArray target = QFile::encodeName(linkedFile(path));
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        // 0666 leaves a new file's permissions to the umask, as for any other file the user makes.
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return failed(qt_error_string(errno));
    }
    if (fd < 0)
        return failed(qt_error_string(EEXIST));

    // A replaced file keeps its permissions, but not a set-user-ID bit for content it never had.
    int error = exists && ::fchmod(fd, seen.st_mode & 0777) != 0 ? errno : 0;
    for (qsizetype done = 0; error == 0 && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n > 0)
            done += n;
        else // a write that takes nothing and gives no reason would be tried for ever
            error = n < 0 ? errno : EIO;
    }
    // On the disk before the name points to it: after a crash the name holds the old content
    // or the new, not an empty file.
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error == 0)
        return std::nullopt;
    ::unlink(temporary.constData());
    return failed(qt_error_string(error));
}

} // namespace vadrelon
