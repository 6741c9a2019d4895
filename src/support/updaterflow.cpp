#include "support/updaterflow.h"

#include "base/consolelog.h"
#include "base/prompt.h"
#include "support/updateserver.h"
#include "support/versioncheck.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#endif

namespace vadrelon {

namespace {

QString withoutPoints(const QVersionNumber &v)
{
    return v.toString().remove(QLatin1Char('.'));
}

} // namespace

#ifdef Q_OS_WIN
UpdaterHooks systemUpdaterHooks()
{
    UpdaterHooks hooks;
    hooks.fileVersion = [](const QString &program) -> std::optional<QVersionNumber> {
        const std::wstring path = QDir::toNativeSeparators(program).toStdWString();
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        if (size == 0)
            return std::nullopt;
        QByteArray info(static_cast<int>(size), '\0');
        VS_FIXEDFILEINFO *fixed = nullptr;
        UINT length = 0;
        if (!GetFileVersionInfoW(path.c_str(), 0, size, info.data()) ||
            !VerQueryValueW(info.data(), L"\\", reinterpret_cast<void **>(&fixed), &length) || !fixed)
            return std::nullopt;
        return QVersionNumber(HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS));
    };
    hooks.launchElevated = [](const QString &program, const QStringList &arguments) {
        QStringList quoted;
        for (const QString &a : arguments)
            quoted << QLatin1Char('"') + QDir::toNativeSeparators(a) + QLatin1Char('"');
        const std::wstring file = QDir::toNativeSeparators(program).toStdWString();
        const std::wstring parameters = quoted.join(QLatin1Char(' ')).toStdWString();
        const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"runas", file.c_str(),
                                                                    parameters.empty() ? nullptr : parameters.c_str(),
                                                                    nullptr, SW_SHOWNORMAL));
        return result > 32;
    };
    return hooks;
}
#else
UpdaterHooks systemUpdaterHooks()
{
    return UpdaterHooks{[](const QString &) { return std::optional<QVersionNumber>(); },
                        [](const QString &, const QStringList &) { return false; }};
}
#endif

UpdaterFlow::UpdaterFlow(UpdateServer &server, ConsoleLog &log, Prompt &prompt, UpdaterHooks hooks, Places places,
                         QObject *parent)
    : QObject(parent), server_(server), log_(log), prompt_(prompt), hooks_(std::move(hooks)), places_(std::move(places))
{}

QString UpdaterFlow::updater() const
{
    // Only the editor's own folder: a program of this name in whatever folder the editor was
    // started from is not ours to run.
    return QDir(places_.folder).filePath(QLatin1String(kUpdaterFileName));
}

void UpdaterFlow::run(std::function<void(std::optional<Error>)> done)
{
    done_ = std::move(done);
    server_.fetchVersion(QLatin1String(updatepath::kUpdaterVersion), [this](const Result<QVersionNumber> &answer) {
        if (const Error *error = std::get_if<Error>(&answer)) {
            done_(*error);
            return;
        }
        const QVersionNumber onServer = std::get<QVersionNumber>(answer);
        log_.print(QStringLiteral("updater version on server: ") + onServer.toString());
        if (!QFileInfo(updater()).isFile()) {
            log_.print(QStringLiteral("Local updater not found, proceed with download..."));
            download();
            return;
        }
        log_.print(QStringLiteral("local updater exists, check version..."));
        // An updater without a version is taken as the oldest, so that a current one replaces it.
        const QVersionNumber local = hooks_.fileVersion(updater()).value_or(QVersionNumber(0, 0));
        log_.print(QStringLiteral("currentUpdaterVersion: %1.%2").arg(local.majorVersion()).arg(local.minorVersion()));
        log_.print(withoutPoints(onServer));
        log_.print(withoutPoints(local));
        if (isNewerVersion(onServer, local)) {
            log_.print(QStringLiteral("New version of the updater found on server, downloading the new updater..."));
            download();
            return;
        }
        launch();
    });
}

void UpdaterFlow::download()
{
    const QString file = QDir(places_.folder).filePath(QLatin1String(kDownloadedUpdaterFileName));
    server_.download(QLatin1String(updatepath::kUpdater), file, [this](const std::optional<Error> &failure) {
        if (failure) {
            // The updater already here is still the one the player installed; it may go on.
            prompt_.message(QStringLiteral("Download failed: ") + errorText(*failure));
        } else {
            prompt_.message(QStringLiteral("New updater downloaded! Click OK to proceed with the update."));
            // The updater started without paths takes up the downloaded one; the download
            // itself is never started by the editor.
            hooks_.launchElevated(updater(), {});
        }
        launch();
    });
}

void UpdaterFlow::launch()
{
    const QString target = QDir(places_.tempFolder).filePath(QLatin1String(kUpdateTargetFileName));
    if (!hooks_.launchElevated(updater(), {target, places_.editor})) {
        done_(Error{ErrorCode::UpdateFailed, QStringLiteral("Failed to launch updater. Please run as administrator.")});
        return;
    }
    done_(std::nullopt);
}

} // namespace vadrelon
