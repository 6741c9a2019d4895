#include "device/sendpacer.h"

namespace vadrelon {

SendPacer::SendPacer(QObject *parent) : QObject(parent)
{
    timer_.setSingleShot(true);
    // A coarse timer may fire 5 % late, which a player hears as a lagging knob.
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kPeriodMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        const QList<QByteArray> messages = takePending();
        if (!messages.isEmpty())
            emit due(messages);
    });
}

void SendPacer::offer(int slot, const QByteArray &message)
{
    pending_[slot] = message;
    if (!timer_.isActive())
        timer_.start();
}

QList<QByteArray> SendPacer::takePending()
{
    timer_.stop();
    QList<QByteArray> messages;
    for (const auto &[slot, message] : pending_)
        messages.append(message);
    pending_.clear();
    return messages;
}

void SendPacer::clear()
{
    timer_.stop();
    pending_.clear();
}

} // namespace vadrelon
