#include "support/httpsserver.h"

#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>

namespace vadrelon::test {

HttpsServer::HttpsServer()
{
    const QString key = dir_.filePath("key.pem");
    const QString cert = dir_.filePath("cert.pem");
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
                              "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
        problem_ = "openssl could not make a certificate: " + QString::fromLocal8Bit(openssl.readAllStandardError());
        return;
    }
    QFile keyFile(key), certFile(cert);
    keyFile.open(QIODevice::ReadOnly);
    certFile.open(QIODevice::ReadOnly);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
    tls.setLocalCertificate(QSslCertificate(certFile.readAll()));
    server_.setSslConfiguration(tls);
    connect(&server_, &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket *socket = server_.nextPendingConnection())
            serve(qobject_cast<QSslSocket *>(socket));
    });
    if (!server_.listen(QHostAddress::LocalHost, 0))
        problem_ = "cannot listen: " + server_.errorString();
}

QUrl HttpsServer::base() const
{
    return QUrl(QStringLiteral("https://127.0.0.1:%1").arg(server_.serverPort()));
}

QString HttpsServer::caFile() const
{
    return dir_.filePath("cert.pem");
}

QSslConfiguration HttpsServer::clientTls() const
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(caFile());
    return tls;
}

void HttpsServer::serve(QSslSocket *socket)
{
    auto request = std::make_shared<QByteArray>();
    connect(socket, &QSslSocket::readyRead, socket, [this, socket, request] {
        request->append(socket->readAll());
        const qsizetype end = request->indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> first = request->left(request->indexOf("\r\n")).split(' ');
        const QString path = first.size() > 1 ? QString::fromLatin1(first[1]) : QString();
        request->clear();
        requested.append(path);
        const Answer a = answers_.value(path, Answer{404, "Not Found", "no such page", 0, -1});
        const QPointer<QSslSocket> guarded(socket);
        QTimer::singleShot(a.delayMs, this, [guarded, a] {
            if (!guarded)
                return;
            QByteArray response = "HTTP/1.1 " + QByteArray::number(a.status) + ' ' + a.reason + "\r\n";
            response += "Content-Type: text/plain\r\nConnection: close\r\n";
            response += "Content-Length: " + QByteArray::number(a.body.size()) + "\r\n\r\n";
            response += a.cutAfter < 0 ? a.body : a.body.left(a.cutAfter);
            guarded->write(response);
            guarded->disconnectFromHost();
        });
    });
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
}

} // namespace vadrelon::test
