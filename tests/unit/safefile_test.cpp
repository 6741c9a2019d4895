// What may stand in a user's folder where the editor expects a small file of its own.
#include "support/printers.h"
#include "support/safefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>

#include <fcntl.h>
#include <sys/stat.h>
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

} // namespace
} // namespace vadrelon
