#include "support/updateserver.h"

#include "base/safefile.h"
#include "support/versioncheck.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslCertificate>
#include <QTimer>

namespace vadrelon {

namespace {

constexpr qint64 kCaFileCap = 1024 * 1024;

Error failure(const QString &text)
{
    return Error{ErrorCode::UpdateFailed, text};
}

} // namespace

Result<QSslConfiguration> updateTlsConfiguration(const QString &caFile)
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    if (caFile.isEmpty())
        return tls;
    const Result<QByteArray> pem = readRegularFile(caFile, kCaFileCap);
    if (const Error *error = std::get_if<Error>(&pem))
        return *error;
    const QList<QSslCertificate> extra = QSslCertificate::fromData(std::get<QByteArray>(pem), QSsl::Pem);
    if (extra.isEmpty())
        return failure(QStringLiteral("\"%1\" holds no certificate.").arg(caFile));
    tls.addCaCertificates(extra);
    return tls;
}

UpdateServer::UpdateServer(QUrl base, QSslConfiguration tls, QObject *parent)
    : QObject(parent), base_(std::move(base)), tls_(std::move(tls))
{
    // A redirect may move within https only; the server's own answer is what counts.
    manager_.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

QUrl UpdateServer::address(const QString &path) const
{
    return updateAddress(base_, path);
}

void UpdateServer::fetch(const QString &path, qint64 cap, std::function<void(Result<QByteArray>)> done)
{
    const QUrl url = address(path);
    QNetworkRequest request(url);
    request.setSslConfiguration(tls_);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("VadrelonEditor/%1").arg(QStringLiteral(VADRELON_EDITOR_VERSION)));
    QNetworkReply *reply = manager_.get(request);

    // Why the reply was cut short by us, if it was.
    auto cutShort = std::make_shared<QString>();
    auto *bound = new QTimer(reply);
    bound->setSingleShot(true);
    connect(bound, &QTimer::timeout, reply, [reply, cutShort, this] {
        *cutShort = QStringLiteral("The update server did not answer within %1 s.").arg(boundMs_ / 1000.0);
        reply->abort();
    });
    bound->start(boundMs_);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, cutShort, cap](qint64 received, qint64 total) {
        if (received > cap || total > cap) {
            *cutShort = QStringLiteral("The update server's answer is longer than %1 bytes.").arg(cap);
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [reply, cutShort, url, done = std::move(done)] {
        reply->deleteLater();
        if (!cutShort->isEmpty()) {
            done(failure(*cutShort));
            return;
        }
        if (reply->error() != QNetworkReply::NoError &&
            reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isNull()) {
            done(failure(QStringLiteral("The update server could not be reached (%1): %2")
                             .arg(url.host(), reply->errorString())));
            return;
        }
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status != 200) {
            const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
            done(failure(QStringLiteral("Error: %1 (status %2 for %3)").arg(reason).arg(status).arg(url.toString())));
            return;
        }
        // A status 200 whose body broke off (the connection closed before its declared
        // length) is no answer.
        if (reply->error() != QNetworkReply::NoError) {
            done(failure(QStringLiteral("The update server's answer broke off: ") + reply->errorString()));
            return;
        }
        const QByteArray body = reply->readAll();
        if (body.isEmpty()) {
            done(failure(QStringLiteral("The update server's answer for %1 was empty.").arg(url.toString())));
            return;
        }
        done(body);
    });
}

void UpdateServer::fetchVersion(const QString &path, std::function<void(Result<QVersionNumber>)> done)
{
    fetch(path, kVersionBodyCap, [done = std::move(done)](const Result<QByteArray> &body) {
        if (const Error *error = std::get_if<Error>(&body)) {
            done(*error);
            return;
        }
        const QByteArray &text = std::get<QByteArray>(body);
        if (const std::optional<QVersionNumber> version = parseEditorVersion(text))
            done(*version);
        else
            done(failure(QStringLiteral("The update server's answer is no version: \"%1\"")
                             .arg(QString::fromLatin1(text.left(40).toPercentEncoding(" .-_")))));
    });
}

void UpdateServer::download(const QString &path, const QString &file, std::function<void(std::optional<Error>)> done)
{
    fetch(path, kDownloadCap, [file, done = std::move(done)](const Result<QByteArray> &body) {
        if (const Error *error = std::get_if<Error>(&body))
            done(*error);
        else
            done(writeWholeFile(file, std::get<QByteArray>(body)));
    });
}

} // namespace vadrelon
