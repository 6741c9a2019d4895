#pragma once
// An HTTPS server on 127.0.0.1 for the update tests, with a certificate made when it starts
// and trusted by the test alone (through clientTls() or the file caFile()). Each path answers
// as the test says: a status, a body, a delay, or a body that breaks off.
#include <QHash>
#include <QSslConfiguration>
#include <QSslServer>
#include <QTemporaryDir>
#include <QUrl>

namespace vadrelon::test {

class HttpsServer : public QObject {
    Q_OBJECT
public:
    struct Answer {
        int status = 200;
        QByteArray reason = "OK";
        QByteArray body;
        int delayMs = 0;
        // The connection closes after this many bytes of the body, though its whole length
        // was announced; -1: the whole body.
        qint64 cutAfter = -1;
    };

    HttpsServer();

    // Empty when the server runs; otherwise why not.
    QString problem() const { return problem_; }
    QUrl base() const;
    QString caFile() const;
    QSslConfiguration clientTls() const;

    void answer(const QString &path, Answer answer) { answers_.insert(path, answer); }
    // The paths asked for, in order.
    QStringList requested;

private:
    void serve(QSslSocket *socket);

    QTemporaryDir dir_;
    QSslServer server_;
    QHash<QString, Answer> answers_;
    QString problem_;
};

} // namespace vadrelon::test
