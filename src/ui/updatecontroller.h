#pragma once
// The Info menu's update items and the new-version window: the check a second after start-up
// and on request, Update Now, What's New and Support. Nothing here waits: every request runs
// in the background and ends within its bound.
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVersionNumber>
#include <memory>

class QAction;
class QWidget;

namespace vadrelon {

class ConsoleLog;
class NewVersionWindow;
class Prompt;
class SettingsStore;
class UpdateServer;
class UpdaterFlow;

// Where the update server is and whether it is asked by itself; main() takes these from the
// environment, the tests set their own.
struct UpdateSettings {
    QString baseUrl; // VADRELON_UPDATE_BASE_URL; empty: the maker's server
    QString caFile;  // VADRELON_UPDATE_CA_FILE: certificates trusted besides the system's
    bool checkAtStartUp = false;
    int firstCheckDelayMs = 1000;

    static UpdateSettings fromEnvironment();
};

class UpdateController : public QObject {
    Q_OBJECT
public:
    struct Items {
        QAction *newVersion;
        QAction *updateNow;
        QAction *checkForUpdates;
        QAction *support;
    };

    UpdateController(const UpdateSettings &settings, Items items, ConsoleLog &log, SettingsStore &store, Prompt &prompt,
                     QWidget *window);
    ~UpdateController() override;

    // Asks the server for the newest release. A check the player asked for says its result;
    // the one at start-up only traces a failure, and shows the window when it finds a release
    // (unless the player turned that off).
    void check(bool asked);

    // Made the first time it has a release to announce; null until then.
    NewVersionWindow *newVersionWindow() const { return newVersionWindow_.get(); }

private:
    // The server, made when the first check needs it, with its TLS settings and the file of
    // extra authorities: building them loads OpenSSL and Qt's TLS plugin, about a tenth of
    // the start-up's processor time and 5 MiB, which the first window need not wait for.
    // Null when it cannot be asked; serverProblem_ then says why.
    UpdateServer *server();
    void showNewVersion();
    void onUpdateNow();
    void openPage(const char *path);

    Items items_;
    ConsoleLog &log_;
    SettingsStore &store_;
    Prompt &prompt_;
    QWidget *window_;
    QUrl base_; // empty when its address is unusable
    QString caFile_;
    std::unique_ptr<UpdateServer> server_;
    QString serverProblem_; // why there is no server to ask
    std::unique_ptr<NewVersionWindow> newVersionWindow_;
    std::unique_ptr<UpdaterFlow> flow_;
    QVersionNumber own_;
    QVersionNumber newest_;
    bool checking_ = false;
};

} // namespace vadrelon
