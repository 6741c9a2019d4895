#include "cli/terminal.h"

#include <QJsonDocument>

namespace vadrelon::cli {

namespace {

// How often the counting progress line is drawn again.
constexpr int kProgressTickMs = 250;

} // namespace

Terminal::Terminal(Streams streams, bool json, QObject *parent)
    : QObject(parent), streams_(std::move(streams)), json_(json)
{
    tick_.setInterval(kProgressTickMs);
    connect(&tick_, &QTimer::timeout, this,
            [this] { progress(QStringLiteral("%1 %2 s").arg(what_).arg(clock_.elapsed() / 1000.0, 0, 'f', 1)); });
}

void Terminal::answer(const Answer &reply)
{
    endProgress();
    streams_.out(json_ ? QString::fromUtf8(QJsonDocument(reply.json).toJson(QJsonDocument::Compact)) + QLatin1Char('\n')
                       : reply.text);
}

void Terminal::complain(const Error &error)
{
    endProgress();
    streams_.err(QStringLiteral("vadrelon: ") + errorText(error, Audience::Command) + QLatin1Char('\n'));
}

void Terminal::trace(const QString &line)
{
    streams_.err(line + QLatin1Char('\n'));
}

void Terminal::startClock(const QString &what)
{
    if (!streams_.errIsTerminal)
        return;
    what_ = what;
    clock_.start();
    tick_.start();
}

void Terminal::progress(const QString &text)
{
    if (!streams_.errIsTerminal)
        return;
    shown_ = true;
    streams_.err(QStringLiteral("\r\033[K") + text);
}

void Terminal::endProgress()
{
    tick_.stop();
    if (!shown_)
        return;
    shown_ = false;
    streams_.err(QStringLiteral("\r\033[K"));
}

} // namespace vadrelon::cli
