#include "device/sendpacer.h"

namespace vadrelon {

SendPacer::SendPacer(QObject *parent) : QObject(parent)
{
    timer_.setSingleShot(true);
    // A coarse timer may fire 5 % late, which a player hears as a lagging knob.
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kPeriodMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        const QByteArray message = takePending();
        if (!message.isEmpty())
            emit due(message);
    });
}

void SendPacer::offer(const QByteArray &message)
{
    pending_ = message;
    if (!timer_.isActive())
        timer_.start();
}

QByteArray SendPacer::takePending()
{
    timer_.stop();
    QByteArray message;
    message.swap(pending_);
    return message;
}

void SendPacer::clear()
{
    timer_.stop();
    pending_.clear();
}

} // namespace vadrelon
