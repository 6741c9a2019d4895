#pragma once
// The pacing of a turning knob: the first change starts a 100 ms period, changes inside the
// period only replace the message that waits, and the period's end hands over the newest
// one. At most one message per period goes out, and the last position always does.
#include <QByteArray>
#include <QObject>
#include <QTimer>

namespace vadrelon {

class SendPacer : public QObject {
    Q_OBJECT
public:
    static constexpr int kPeriodMs = 100;

    explicit SendPacer(QObject *parent = nullptr);

    // The newest message of the period; a period that already runs is neither restarted nor
    // lengthened.
    void offer(const QByteArray &message);
    bool hasPending() const { return !pending_.isEmpty(); }
    // Hands over the waiting message now and ends the period (an exchange is about to start
    // and must not be overtaken by it).
    QByteArray takePending();
    void clear();

signals:
    void due(const QByteArray &message);

private:
    QTimer timer_;
    QByteArray pending_;
};

} // namespace vadrelon
