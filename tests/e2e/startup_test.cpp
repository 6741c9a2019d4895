// The built editor's start-up where the machine or the user's folders are not as it expects:
// no display at all, and the files it reads at start-up replaced by things that are no files.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <sys/stat.h>

namespace {

const QString kEditor = QStringLiteral(VADRELON_BIN_DIR "/vadrelon-editor");

TEST(EditorStartUp, WithoutADisplaySaysSoInOneLineAndFailsUnlessAPlatformIsChosen)
{
    struct Case {
        const char *name;
        QStringList arguments;
        const char *platform; // QT_QPA_PLATFORM, or nullptr
        bool fails;
    };
    const Case cases[] = {
        {"no display", {}, nullptr, true},
        {"the offscreen platform", {}, "offscreen", false},
        {"-platform offscreen", {"-platform", "offscreen"}, nullptr, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        if (c.platform)
            env.insert("QT_QPA_PLATFORM", c.platform);
        env.insert("HOME", home.path());
        QProcess editor;
        editor.setProcessEnvironment(env);
        editor.start(kEditor, c.arguments);
        ASSERT_TRUE(editor.waitForStarted(5000));
        if (!c.fails) {
            // Qt gives up on a missing display within a few milliseconds; a platform that needs
            // none runs on until it is told to end.
            EXPECT_FALSE(editor.waitForFinished(500)) << editor.readAllStandardError().toStdString();
            editor.terminate();
            ASSERT_TRUE(editor.waitForFinished(3000));
            EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(editor.exitCode(), 0);
            continue;
        }
        const bool ended = editor.waitForFinished(5000);
        if (!ended)
            editor.kill();
        ASSERT_TRUE(ended) << "the editor waited for a display that never comes";
        EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit) << "it ended by a signal, not by itself";
        EXPECT_NE(editor.exitCode(), 0);
        const QList<QByteArray> lines = editor.readAllStandardError().trimmed().split('\n');
        ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
        EXPECT_TRUE(lines[0].startsWith("vadrelon-editor: no display")) << lines[0].toStdString();
        EXPECT_TRUE(lines[0].contains("xvfb-run -a")) << lines[0].toStdString();
    }
}

// What stands where the editor reads a file at start-up.
enum class Hostile { NamedPipe, LinkToDevZero, Folder, TenMegabytes };

const char *nameOf(Hostile kind)
{
    switch (kind) {
    case Hostile::NamedPipe:
        return "a named pipe";
    case Hostile::LinkToDevZero:
        return "a link to /dev/zero";
    case Hostile::Folder:
        return "a folder";
    case Hostile::TenMegabytes:
        return "a file of 10 MB";
    }
    return "";
}

bool put(Hostile kind, const QString &path)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    switch (kind) {
    case Hostile::NamedPipe:
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    case Hostile::LinkToDevZero:
        return QFile::link(QStringLiteral("/dev/zero"), path);
    case Hostile::Folder:
        return QDir().mkpath(path);
    case Hostile::TenMegabytes: {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.resize(10 * 1024 * 1024);
    }
    }
    return false;
}

// Holds a connection to the display while it lives. An X server resets when its last client
// goes and fails the clients that connect meanwhile: between two rounds of starts, nothing
// else may be connected.
class DisplayKeeper {
public:
    explicit DisplayKeeper(const QString &xdotool)
    {
        // Its first answer says that it is connected; the search then waits for ever.
        for (int attempt = 0; attempt < 3 && !connected_; ++attempt) {
            process_.start(xdotool,
                           {"getdisplaygeometry", "search", "--sync", "--name", "^keeps the display from resetting$"});
            connected_ = process_.waitForReadyRead(5000);
            if (!connected_) {
                process_.kill();
                process_.waitForFinished(2000);
            }
        }
    }
    ~DisplayKeeper()
    {
        process_.kill();
        process_.waitForFinished(2000);
    }
    DisplayKeeper(const DisplayKeeper &) = delete;
    DisplayKeeper &operator=(const DisplayKeeper &) = delete;
    bool connected() const { return connected_; }

private:
    QProcess process_;
    bool connected_ = false;
};

// One start of the built editor in a home of its own, with one hostile file in place.
struct Start {
    QString name;
    QTemporaryDir home;
    QProcess editor;
    QElapsedTimer sinceStart;
    bool shown = false;
};

TEST(EditorStartUp, ShowsAWindowAtOnceWhateverStandsInPlaceOfItsFiles)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs an X display (run the tests under xvfb-run)";
    const QString xdotool = QStandardPaths::findExecutable("xdotool");
    if (xdotool.isEmpty())
        GTEST_SKIP() << "xdotool is not installed";

    // Relative to the home folder; the documents folder is the home's "Documents".
    const char *const files[] = {
        "Documents/NEROV/style.txt",
        "Documents/NEROV/Vadrelon MK3/ReportUSBErrors.txt",
        "Documents/NEROV/Vadrelon MK3/ShowMessageVersionAtStartup.txt",
        "Documents/NEROV/Vadrelon MK3/Instrument.txt",
        "pedals/VP000001.port",
        ".config/user-dirs.dirs", // read by the toolkit to find the documents folder
    };
    const Hostile kinds[] = {Hostile::NamedPipe, Hostile::LinkToDevZero, Hostile::Folder, Hostile::TenMegabytes};
    // A window is up within a few tenths of a second of the start; the bound leaves room for a
    // busy machine, and a start-up that blocks never shows one. The starts of one round run side
    // by side, a few at a time, so that two cores still start each within the bound.
    constexpr int kShownWithinMs = 2000;
    constexpr int kSideBySide = 4;

    const DisplayKeeper keeper(xdotool);
    ASSERT_TRUE(keeper.connected());

    std::vector<std::pair<const char *, Hostile>> rows;
    for (const char *file : files)
        for (Hostile kind : kinds)
            rows.emplace_back(file, kind);

    for (size_t first = 0; first < rows.size(); first += kSideBySide) {
        std::vector<std::unique_ptr<Start>> round;
        for (size_t i = first; i < std::min(rows.size(), first + kSideBySide); ++i) {
            auto start = std::make_unique<Start>();
            start->name = QStringLiteral("%1 as %2").arg(nameOf(rows[i].second), rows[i].first);
            const QString home = start->home.path();
            EXPECT_TRUE(put(rows[i].second, QDir(home).filePath(rows[i].first))) << start->name.toStdString();
            QDir().mkpath(home + "/run");
            QFile::setPermissions(home + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            for (const char *name : {"QT_QPA_PLATFORM", "XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR"})
                env.remove(name);
            env.insert("HOME", home);
            env.insert("XDG_RUNTIME_DIR", home + "/run");
            env.insert("VADRELON_VIRTUAL_PEDALS_DIR", home + "/pedals");
            start->editor.setProcessEnvironment(env);
            start->editor.setProcessChannelMode(QProcess::MergedChannels);
            start->editor.start(kEditor);
            start->sinceStart.start();
            round.push_back(std::move(start));
        }

        // Any visible window of the process will do: a message box about a file that could not
        // be read comes before the main window.
        for (bool waiting = true; waiting;) {
            waiting = false;
            for (auto &start : round) {
                if (start->shown || start->sinceStart.elapsed() > kShownWithinMs)
                    continue;
                QProcess search;
                search.start(xdotool, {"search", "--onlyvisible", "--pid", QString::number(start->editor.processId())});
                start->shown = search.waitForFinished(2000) && search.exitCode() == 0;
                waiting = waiting || !start->shown;
            }
            if (waiting)
                QThread::msleep(20);
        }

        for (auto &start : round) {
            SCOPED_TRACE(start->name.toStdString());
            EXPECT_TRUE(start->shown) << "no window within " << kShownWithinMs << " ms";
            start->editor.terminate();
        }
        for (auto &start : round) {
            SCOPED_TRACE(start->name.toStdString());
            const bool ended = start->editor.waitForFinished(3000);
            if (!ended)
                start->editor.kill();
            EXPECT_TRUE(ended) << "SIGTERM did not end it";
            EXPECT_EQ(start->editor.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(start->editor.exitCode(), 0) << start->editor.readAll().toStdString();
        }
    }
}

} // namespace
