#pragma once
// The maker's update server, asked over HTTPS: the newest versions as short texts, and the
// updater program as a file. Every request ends within a bound, and what comes back is used
// only when the answer is a clean one: status 200 with a body, whole.
#include "base/error.h"

#include <QNetworkAccessManager>
#include <QSslConfiguration>
#include <QUrl>
#include <QVersionNumber>
#include <functional>
#include <optional>

class QNetworkReply;

namespace vadrelon {

namespace updatepath {
inline constexpr char kEditorVersion[] = "/download/vadrelon-editor-version.php";
inline constexpr char kUpdaterVersion[] = "/download/update/Vadrelon_Win_Updater_Version.php";
inline constexpr char kUpdater[] = "/download/update/Vadrelon_Win_Updater.exe";
inline constexpr char kWhatsNew[] = "/download/update/whatsnew.html";
inline constexpr char kSupport[] = "/contact-us/";
// Where a player without the updater program fetches a release by hand.
inline constexpr char kDownloadPage[] = "/download/";
} // namespace updatepath

// The TLS settings for the update server: the system's, with the certificates of the file
// named by VADRELON_UPDATE_CA_FILE trusted as well (a mirror's own authority, or a test's).
Result<QSslConfiguration> updateTlsConfiguration(const QString &caFile);

class UpdateServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kBoundMs = 10000;
    // A version is a few characters; anything much longer is not one.
    static constexpr qint64 kVersionBodyCap = 1024;
    // The updater is a small program; a body beyond this is no updater.
    static constexpr qint64 kDownloadCap = 64 * 1024 * 1024;

    UpdateServer(QUrl base, QSslConfiguration tls, QObject *parent = nullptr);

    QUrl address(const QString &path) const;
    void setBoundMs(int ms) { boundMs_ = ms; }

    // The version the server names at path. done is called once, never from inside this
    // call; a body that is no version is an error that quotes it.
    void fetchVersion(const QString &path, std::function<void(Result<QVersionNumber>)> done);

    // The body at path written to file, whole: only after status 200 with a non-empty body
    // that arrived complete, through a temporary file renamed into place. On any failure the
    // file is left as it was.
    void download(const QString &path, const QString &file, std::function<void(std::optional<Error>)> done);

private:
    // The body of a clean answer at path, at most cap bytes.
    void fetch(const QString &path, qint64 cap, std::function<void(Result<QByteArray>)> done);

    QUrl base_;
    QSslConfiguration tls_;
    QNetworkAccessManager manager_;
    int boundMs_ = kBoundMs;
};

} // namespace vadrelon
