#pragma once
// Where the maker's updater program exists (Windows), an update is handed to it: the updater
// beside the editor is first made current from the server, then started with administrator
// rights and two paths, and the editor ends. This is the part before the hand-over; the
// system calls it needs come in as hooks, so that it runs the same under test.
#include "base/error.h"

#include <QObject>
#include <QStringList>
#include <QVersionNumber>
#include <functional>
#include <optional>

namespace vadrelon {

class ConsoleLog;
class Prompt;
class UpdateServer;

inline constexpr char kUpdaterFileName[] = "Vadrelon_Win_Updater.exe";
inline constexpr char kDownloadedUpdaterFileName[] = "Vadrelon_Win_Updater_Update.exe";
inline constexpr char kUpdateTargetFileName[] = "Vadrelon_Editor_Update.exe";

struct UpdaterHooks {
    // The major and minor parts of the program's file version; nothing when it has none.
    std::function<std::optional<QVersionNumber>(const QString &program)> fileVersion;
    // Starts the program with administrator rights; false when it did not start.
    std::function<bool(const QString &program, const QStringList &arguments)> launchElevated;
};

// The system's own calls where there are any (Windows); elsewhere they find no version and
// start nothing.
UpdaterHooks systemUpdaterHooks();

class UpdaterFlow : public QObject {
    Q_OBJECT
public:
    struct Places {
        QString folder;     // the editor's own folder, where the updater lives
        QString editor;     // the running editor's full path
        QString tempFolder; // the user's temporary folder
    };

    UpdaterFlow(UpdateServer &server, ConsoleLog &log, Prompt &prompt, UpdaterHooks hooks, Places places,
                QObject *parent = nullptr);

    // done comes once: nothing when the updater was started with the two paths (the editor
    // should end now), or why the update did not happen (the editor stays open).
    void run(std::function<void(std::optional<Error>)> done);

private:
    void download();
    void launch();
    QString updater() const;

    UpdateServer &server_;
    ConsoleLog &log_;
    Prompt &prompt_;
    UpdaterHooks hooks_;
    Places places_;
    std::function<void(std::optional<Error>)> done_;
};

} // namespace vadrelon
