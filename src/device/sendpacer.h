#pragma once
// The pacing of turning knobs: the first change starts a 100 ms period, and a change inside
// the period only replaces the message its own knob has waiting. The period's end hands over
// every waiting message, one per knob, in the knobs' order. So a knob sends at most one
// message a period, its last position always goes out, and a knob turned just after another
// never takes the other's message away.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>

#include <map>

namespace vadrelon {

class SendPacer : public QObject {
    Q_OBJECT
public:
    static constexpr int kPeriodMs = 100;

    explicit SendPacer(QObject *parent = nullptr);

    // The newest message of the knob in slot; a period that already runs is neither restarted
    // nor lengthened.
    void offer(int slot, const QByteArray &message);
    bool hasPending() const { return !pending_.empty(); }
    // Hands over the waiting messages now, in slot order, and ends the period (an exchange is
    // about to start and must not be overtaken by them).
    QList<QByteArray> takePending();
    void clear();

signals:
    void due(const QList<QByteArray> &messages);

private:
    QTimer timer_;
    std::map<int, QByteArray> pending_;
};

} // namespace vadrelon
