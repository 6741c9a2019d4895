// What may stand in a user's folder where the editor expects a small file of its own.
#include "base/safefile.h"
#include "support/printers.h"
#include "unprivileged.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <iostream>
#include <optional>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace vadrelon {
namespace {

class ReadRegularFile : public ::testing::Test {
protected:
    QString path(const char *name) const { return dir_.filePath(QString::fromLatin1(name)); }

    QString file(const char *name, const QByteArray &bytes) const
    {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }

    // Reads on a thread of its own: a read that blocks is a failure of its own, not a test
    // that never ends. A pipe's reader is set free by a writer that comes and goes.
    static Result<QByteArray> readWithin(const QString &path, qint64 cap)
    {
        auto read = std::async(std::launch::async, [&] { return readRegularFile(path, cap); });
        if (read.wait_for(std::chrono::seconds(2)) == std::future_status::timeout) {
            ADD_FAILURE() << "the read blocked";
            const int writer = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
        }
        return read.get();
    }

    QTemporaryDir dir_;
};

TEST_F(ReadRegularFile, TakesOnlyRegularFilesUpToTheCap)
{
    ASSERT_TRUE(dir_.isValid());
    const QByteArray atCap(static_cast<int>(kSettingsFileCap), 'x');
    struct Case {
        const char *name;
        std::function<QString()> make;
        const char *refusal; // nullptr: read
        QByteArray content = {};
    };
    const Case cases[] = {
        {"a regular file", [&] { return file("plain", "YES"); }, nullptr, "YES"},
        {"an empty file", [&] { return file("empty", ""); }, nullptr, ""},
        {"a file of exactly the cap", [&] { return file("at-cap", atCap); }, nullptr, atCap},
        {"a link to a regular file",
         [&] {
             EXPECT_TRUE(QFile::link(file("target", "NO"), path("link")));
             return path("link");
         },
         nullptr, "NO"},
        {"one byte above the cap", [&] { return file("above", atCap + 'x'); }, "larger than the 4096 bytes"},
        {"a file of 10 MB",
         [&] {
             QFile f(path("huge"));
             EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(10 * 1024 * 1024));
             return f.fileName();
         },
         "larger than the 4096 bytes"},
        {"a named pipe",
         [&] {
             EXPECT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
             return path("fifo");
         },
         "named pipe"},
        {"a link to /dev/zero",
         [&] {
             EXPECT_TRUE(QFile::link("/dev/zero", path("zero")));
             return path("zero");
         },
         "device"},
        {"a folder",
         [&] {
             EXPECT_TRUE(QDir().mkpath(path("folder")));
             return path("folder");
         },
         "folder"},
        {"a missing file", [&] { return path("missing"); }, "No such file or directory"},
        {"a link to nowhere",
         [&] {
             EXPECT_TRUE(QFile::link(path("nowhere"), path("dangling")));
             return path("dangling");
         },
         "No such file or directory"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString at = c.make();
        const Result<QByteArray> read = readWithin(at, kSettingsFileCap);
        if (!c.refusal) {
            EXPECT_EQ(read, Result<QByteArray>(c.content));
            continue;
        }
        if (!std::holds_alternative<Error>(read)) {
            ADD_FAILURE() << "read, not refused";
            continue;
        }
        const Error &error = std::get<Error>(read);
        EXPECT_EQ(error.code, ErrorCode::FileNotRead);
        const QString head = QStringLiteral("\"%1\": ").arg(QDir::toNativeSeparators(at));
        EXPECT_TRUE(error.detail.startsWith(head)) << error.detail.toStdString();
        EXPECT_TRUE(error.detail.contains(QLatin1String(c.refusal))) << error.detail.toStdString();
    }
}

// Everything a folder holds, named pipes, devices and links to nowhere included.
QStringList entries(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void expectNotWritten(const std::optional<Error> &error, const QString &path, const QString &reason)
{
    ASSERT_TRUE(error) << "written, not refused";
    EXPECT_EQ(error->code, ErrorCode::FileNotWritten);
    EXPECT_EQ(error->detail, QStringLiteral("\"%1\": %2").arg(QDir::toNativeSeparators(path), reason));
}

class WriteWholeFile : public ::testing::Test {
protected:
    QString path(const char *name) const { return dir_.filePath(QString::fromLatin1(name)); }

    QString file(const char *name, const QByteArray &bytes, mode_t mode) const
    {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        EXPECT_EQ(::chmod(QFile::encodeName(f.fileName()).constData(), mode), 0);
        return f.fileName();
    }

    QString link(const char *name, const QString &to) const
    {
        EXPECT_TRUE(QFile::link(to, path(name)));
        return path(name);
    }

    // Writes on a thread of its own: a write that blocks is a failure of its own, not a test
    // that never ends. A pipe's writer is set free by a reader, kept open until the write ends
    // so that the writer gets no SIGPIPE.
    static std::optional<Error> writeWithin(const QString &path, const QByteArray &bytes)
    {
        auto write = std::async(std::launch::async, [&] { return writeWholeFile(path, bytes); });
        if (write.wait_for(std::chrono::seconds(2)) == std::future_status::timeout) {
            ADD_FAILURE() << "the write blocked";
            const int reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
            write.wait();
            if (reader >= 0)
                ::close(reader);
        }
        return write.get();
    }

    QTemporaryDir dir_;
};

TEST_F(WriteWholeFile, ReplacesARegularFileWholeOrMakesANewOne)
{
    ASSERT_TRUE(dir_.isValid());
    const mode_t umask = ::umask(027);
    const auto restoreUmask = qScopeGuard([umask] { ::umask(umask); });
    struct Case {
        const char *name;
        std::function<QString()> make; // the path written to
        const char *holder;            // the file that gets the content
        mode_t mode;
    };
    const Case cases[] = {
        {"a longer file, its permissions kept",
         [&] { return file("longer", "an old content, longer than the new", 0600); }, "longer", 0600},
        {"a new file, its permissions from the umask", [&] { return path("new"); }, "new", 0640},
        {"a link to a file, which is replaced", [&] { return link("link", file("target", "old", 0604)); }, "target",
         0604},
        {"a link to a file not there yet, which is made", [&] { return link("dangling", path("made")); }, "made", 0640},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString at = c.make();
        QStringList expected = entries(dir_.path()) << QString::fromLatin1(c.holder);
        expected.removeDuplicates();
        expected.sort();
        ASSERT_EQ(writeWholeFile(at, "new content"), std::nullopt);
        const QString holder = path(c.holder);
        EXPECT_EQ(readAll(holder), "new content");
        struct stat seen {};
        ASSERT_EQ(::stat(QFile::encodeName(holder).constData(), &seen), 0);
        EXPECT_EQ(seen.st_mode & 07777, c.mode);
        ASSERT_EQ(::lstat(QFile::encodeName(at).constData(), &seen), 0);
        EXPECT_EQ(S_ISLNK(seen.st_mode), at != holder) << "a link stays a link";
        EXPECT_EQ(entries(dir_.path()), expected) << "nothing left aside";
    }
}

// A save may replace a file of that name, never whatever else stands there; as root, /dev/null
// itself would be replaced by a file.
TEST_F(WriteWholeFile, RefusesWhatIsNoRegularFileWithoutOpeningIt)
{
    ASSERT_TRUE(dir_.isValid());
    const auto fifo = [&](const char *name) {
        EXPECT_EQ(::mkfifo(QFile::encodeName(path(name)).constData(), 0600), 0);
        return path(name);
    };
    struct Case {
        const char *name;
        std::function<QString()> make;
        const char *refusal;
        bool needsRoot = false;
    };
    const Case cases[] = {
        {"a named pipe", [&] { return fifo("fifo"); }, "it is a named pipe, not a file"},
        {"a link to a named pipe", [&] { return link("to-fifo", fifo("linked-fifo")); },
         "it is a named pipe, not a file"},
        {"a folder",
         [&] {
             EXPECT_TRUE(QDir().mkpath(path("folder")));
             return path("folder");
         },
         "it is a folder, not a file"},
        {"a device like /dev/null",
         [&] {
             // Made here, so that a fault replaces this copy and not the system's.
             EXPECT_EQ(::mknod(QFile::encodeName(path("null")).constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
             return path("null");
         },
         "it is a device, not a file", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && ::geteuid() != 0) {
            std::cout << "skipped " << c.name << ": making a device needs root\n";
            continue;
        }
        const QString at = c.make();
        const QByteArray name = QFile::encodeName(at);
        struct stat named {
        }, node{};
        ASSERT_EQ(::lstat(name.constData(), &named), 0);
        ASSERT_EQ(::stat(name.constData(), &node), 0);
        const QStringList before = entries(dir_.path());

        expectNotWritten(writeWithin(at, "new content"), at, QString::fromLatin1(c.refusal));
        struct stat namedAfter {
        }, nodeAfter{};
        ASSERT_EQ(::lstat(name.constData(), &namedAfter), 0);
        ASSERT_EQ(::stat(name.constData(), &nodeAfter), 0);
        EXPECT_EQ(namedAfter.st_ino, named.st_ino) << "the very same node";
        EXPECT_EQ(namedAfter.st_mode, named.st_mode);
        EXPECT_EQ(nodeAfter.st_ino, node.st_ino);
        EXPECT_EQ(nodeAfter.st_mode, node.st_mode);
        EXPECT_EQ(nodeAfter.st_rdev, node.st_rdev);
        EXPECT_EQ(entries(dir_.path()), before) << "nothing left aside";
    }
}

// The folder would let another file take its name, but the user made this one read-only.
TEST_F(WriteWholeFile, KeepsAFileMadeReadOnly)
{
    ASSERT_TRUE(dir_.isValid());
    const QString kept = file("kept", "old", 0444);
    if (::geteuid() == 0) {
        // The user's own folder and file, written as that user: root's powers would hide it.
        constexpr uid_t nobody = 65534;
        ASSERT_EQ(::chown(QFile::encodeName(dir_.path()).constData(), nobody, nobody), 0);
        ASSERT_EQ(::chown(QFile::encodeName(kept).constData(), nobody, nobody), 0);
    }
    std::optional<Error> error;
    {
        const test::AsAnotherUser user;
        error = writeWholeFile(kept, "new");
    }
    expectNotWritten(error, kept, QStringLiteral("Permission denied"));
    EXPECT_EQ(readAll(kept), "old");
    EXPECT_EQ(entries(dir_.path()), QStringList{"kept"});
}

// A file system of its own, small enough to fill.
class WriteWholeFileOnAFullDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "mounting a small file system to fill needs root";
        ASSERT_TRUE(dir_.isValid());
        ASSERT_EQ(::mount("tmpfs", QFile::encodeName(folder()).constData(), "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC,
                          "size=64k"),
                  0)
            << std::strerror(errno);
        mounted_ = true;
    }
    void TearDown() override
    {
        if (mounted_) {
            EXPECT_EQ(::umount(QFile::encodeName(folder()).constData()), 0) << std::strerror(errno);
        }
    }

    QString folder() const { return dir_.path(); }
    QString path(const char *name) const { return dir_.filePath(QString::fromLatin1(name)); }

    // A filler that leaves `room` bytes free.
    void fillLeaving(qint64 room) const
    {
        struct statvfs fs {};
        ASSERT_EQ(::statvfs(QFile::encodeName(folder()).constData(), &fs), 0);
        const qint64 free = static_cast<qint64>(fs.f_bavail * fs.f_frsize);
        ASSERT_GE(free, room);
        QFile filler(path("filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        ASSERT_EQ(filler.write(QByteArray(free - room, 'f')), free - room);
    }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

TEST_F(WriteWholeFileOnAFullDisk, LeavesTheOldFileWholeAndSaysWhy)
{
    const QByteArray old = "16 bytes of old.";
    struct Case {
        const char *name;
        qint64 room;      // left by the filler
        qsizetype length; // of the new content
    };
    const Case cases[] = {
        {"full before the write", 0, 16},
        {"filled by the write", 16 * 1024, 32 * 1024},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString kept = path("old.txt");
        {
            QFile f(kept);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(old) == old.size());
        }
        fillLeaving(c.room);
        const QByteArray content(c.length, 'n');

        expectNotWritten(writeWholeFile(kept, content), kept, QStringLiteral("No space left on device"));
        EXPECT_EQ(readAll(kept), old);
        EXPECT_EQ(entries(folder()), QStringList({"filler", "old.txt"})) << "nothing left aside";

        // Given the room, the same write goes through: the disk was all that was wanting.
        ASSERT_TRUE(QFile::remove(path("filler")));
        EXPECT_EQ(writeWholeFile(kept, content), std::nullopt);
        EXPECT_EQ(readAll(kept), content);
        ASSERT_TRUE(QFile::remove(kept));
    }
}

} // namespace
} // namespace vadrelon
