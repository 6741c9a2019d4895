#include "ui/updatecontroller.h"

#include "base/consolelog.h"
#include "base/prompt.h"
#include "support/settings.h"
#include "support/updaterflow.h"
#include "support/updateserver.h"
#include "support/versioncheck.h"
#include "ui/newversionwindow.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QTimer>
#include <QWidget>

namespace vadrelon {

namespace {

// Only where the maker's updater program exists is an update handed to it; elsewhere the
// player fetches the release from the download page.
#ifdef Q_OS_WIN
constexpr bool kHandsOverToUpdater = true;
#else
constexpr bool kHandsOverToUpdater = false;
#endif

} // namespace

UpdateSettings UpdateSettings::fromEnvironment()
{
    UpdateSettings s;
    s.baseUrl = qEnvironmentVariable("VADRELON_UPDATE_BASE_URL");
    s.caFile = qEnvironmentVariable("VADRELON_UPDATE_CA_FILE");
    s.checkAtStartUp = true;
    return s;
}

UpdateController::UpdateController(const UpdateSettings &settings, Items items, ConsoleLog &log, SettingsStore &store,
                                   Prompt &prompt, QWidget *window)
    : items_(items), log_(log), store_(store), prompt_(prompt), window_(window), caFile_(settings.caFile),
      own_(parseEditorVersion(VADRELON_EDITOR_VERSION).value_or(QVersionNumber()))
{
    const Result<QUrl> base = updateBaseUrl(settings.baseUrl);
    if (const Error *error = std::get_if<Error>(&base))
        serverProblem_ = errorText(*error);
    else
        base_ = std::get<QUrl>(base);

    items_.updateNow->setEnabled(false);
    items_.support->setEnabled(!base_.isEmpty());
    connect(items_.checkForUpdates, &QAction::triggered, this, [this] { check(true); });
    connect(items_.updateNow, &QAction::triggered, this, &UpdateController::onUpdateNow);
    connect(items_.support, &QAction::triggered, this, [this] { openPage(updatepath::kSupport); });
    if (settings.checkAtStartUp)
        QTimer::singleShot(settings.firstCheckDelayMs, this, [this] { check(false); });
}

UpdateController::~UpdateController() = default;

void UpdateController::showNewVersion()
{
    if (!newVersionWindow_) {
        newVersionWindow_ = std::make_unique<NewVersionWindow>();
        connect(newVersionWindow_.get(), &NewVersionWindow::updateNowClicked, this, &UpdateController::onUpdateNow);
        connect(newVersionWindow_.get(), &NewVersionWindow::whatsNewClicked, this,
                [this] { openPage(updatepath::kWhatsNew); });
        connect(newVersionWindow_.get(), &NewVersionWindow::dontShowAgainChecked, this, [this] {
            if (std::optional<Error> failure = store_.stopUpdateMessage())
                prompt_.message(errorText(*failure));
        });
    }
    newVersionWindow_->showVersions(own_.toString(), newest_.toString());
}

UpdateServer *UpdateController::server()
{
    if (!server_ && serverProblem_.isEmpty()) {
        const Result<QSslConfiguration> tls = updateTlsConfiguration(caFile_);
        if (const Error *error = std::get_if<Error>(&tls))
            serverProblem_ = errorText(*error);
        else
            server_ = std::make_unique<UpdateServer>(base_, std::get<QSslConfiguration>(tls));
    }
    return server_.get();
}

void UpdateController::check(bool asked)
{
    if (!server()) {
        log_.print(QStringLiteral("update check: ") + serverProblem_);
        if (asked)
            prompt_.message(serverProblem_);
        return;
    }
    if (checking_)
        return;
    checking_ = true;
    items_.checkForUpdates->setEnabled(false);
    server_->fetchVersion(QLatin1String(updatepath::kEditorVersion), [this, asked](const Result<QVersionNumber> &r) {
        checking_ = false;
        items_.checkForUpdates->setEnabled(true);
        if (const Error *error = std::get_if<Error>(&r)) {
            // Offline at start-up is no news: the console keeps it for whoever looks.
            log_.print(QStringLiteral("update check: ") + errorText(*error));
            if (asked)
                prompt_.message(errorText(*error));
            return;
        }
        newest_ = std::get<QVersionNumber>(r);
        log_.print(QStringLiteral("currentAppVersion: ") + own_.toString());
        log_.print(QStringLiteral("newAppVersion: ") + newest_.toString());
        if (isNewerVersion(newest_, own_)) {
            items_.newVersion->setText(QStringLiteral("New version available: ") + newest_.toString());
            items_.updateNow->setEnabled(true);
            if (asked || store_.showUpdateMessage)
                showNewVersion();
        } else {
            items_.newVersion->setText(QStringLiteral("No update available"));
            items_.updateNow->setEnabled(false);
            if (asked)
                prompt_.message(QStringLiteral("No update available: version %1 is the newest.").arg(own_.toString()));
        }
    });
}

// The browser checks the page's certificate itself: no TLS settings of ours are needed here.
void UpdateController::openPage(const char *path)
{
    if (base_.isEmpty())
        return;
    const QUrl url = updateAddress(base_, QLatin1String(path));
    log_.print(QStringLiteral("opening ") + url.toString());
    if (!QDesktopServices::openUrl(url))
        prompt_.message(QStringLiteral("No web browser could be started for %1").arg(url.toString()));
}

void UpdateController::onUpdateNow()
{
    if (flow_ || !server())
        return;
    if (!kHandsOverToUpdater) {
        openPage(updatepath::kDownloadPage);
        return;
    }
    if (!prompt_.askYesNo(QStringLiteral(
            "This action will update the Vadrelon Editor to the latest version. Do you want to continue?")))
        return;
    const UpdaterFlow::Places places{QCoreApplication::applicationDirPath(), QCoreApplication::applicationFilePath(),
                                     QDir::tempPath()};
    flow_ = std::make_unique<UpdaterFlow>(*server(), log_, prompt_, systemUpdaterHooks(), places);
    flow_->run([this](const std::optional<Error> &failure) {
        QTimer::singleShot(0, this, [this] { flow_.reset(); });
        if (failure) {
            prompt_.message(errorText(*failure));
            return;
        }
        // The updater replaces the editor's files: the editor must be gone.
        if (window_)
            window_->close();
        QCoreApplication::quit();
    });
}

} // namespace vadrelon
