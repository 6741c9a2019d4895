#include "cli/terminal.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace vadrelon::cli {

namespace {

// How often the counting progress line is drawn again.
constexpr int kProgressTickMs = 250;

} // namespace

QString errorCodeWord(ErrorCode code)
{
    switch (code) {
    case ErrorCode::Transport:
        return QStringLiteral("transport");
    case ErrorCode::OpenFailed:
        return QStringLiteral("open-failed");
    case ErrorCode::PortGone:
        return QStringLiteral("port-gone");
    case ErrorCode::PortInUse:
        return QStringLiteral("port-in-use");
    case ErrorCode::PermissionDenied:
        return QStringLiteral("permission-denied");
    case ErrorCode::NotASerialPort:
        return QStringLiteral("not-a-serial-port");
    case ErrorCode::NoAnswer:
        return QStringLiteral("no-answer");
    case ErrorCode::NoAnswerAfterCut:
        return QStringLiteral("no-answer-after-cut");
    case ErrorCode::ShortReply:
        return QStringLiteral("short-reply");
    case ErrorCode::GarbledReply:
        return QStringLiteral("garbled-reply");
    case ErrorCode::UntrustedReply:
        return QStringLiteral("untrusted-reply");
    case ErrorCode::InBootloader:
        return QStringLiteral("in-bootloader");
    case ErrorCode::Busy:
        return QStringLiteral("busy");
    case ErrorCode::NotRead:
        return QStringLiteral("not-read");
    case ErrorCode::NotLinked:
        return QStringLiteral("not-linked");
    case ErrorCode::WriteStalled:
        return QStringLiteral("write-stalled");
    case ErrorCode::VersionsOutdated:
        return QStringLiteral("versions-outdated");
    case ErrorCode::AddressesUnreadable:
        return QStringLiteral("addresses-unreadable");
    case ErrorCode::AddressUnknown:
        return QStringLiteral("address-unknown");
    case ErrorCode::UploadNotConfirmed:
        return QStringLiteral("upload-not-confirmed");
    case ErrorCode::FirmwareTooOld:
        return QStringLiteral("firmware-too-old");
    case ErrorCode::BootloaderNotEntered:
        return QStringLiteral("bootloader-not-entered");
    case ErrorCode::FileInTheWay:
        return QStringLiteral("file-in-the-way");
    case ErrorCode::NoSuchPedal:
        return QStringLiteral("no-such-pedal");
    case ErrorCode::DumpGarbled:
        return QStringLiteral("dump-garbled");
    case ErrorCode::DumpShort:
        return QStringLiteral("dump-short");
    case ErrorCode::FolderNotCreated:
        return QStringLiteral("folder-not-created");
    case ErrorCode::SubfolderNotCreated:
        return QStringLiteral("subfolder-not-created");
    case ErrorCode::FileNotRead:
        return QStringLiteral("file-not-read");
    case ErrorCode::FileNotWritten:
        return QStringLiteral("file-not-written");
    case ErrorCode::ResourceMissing:
        return QStringLiteral("resource-missing");
    case ErrorCode::ResourceUnreadable:
        return QStringLiteral("resource-unreadable");
    case ErrorCode::BadCatalogue:
        return QStringLiteral("bad-catalogue");
    case ErrorCode::BadImage:
        return QStringLiteral("bad-image");
    case ErrorCode::BadInput:
        return QStringLiteral("bad-input");
    case ErrorCode::BadFirmwareImage:
        return QStringLiteral("bad-firmware-image");
    case ErrorCode::UpgradeFailed:
        return QStringLiteral("upgrade-failed");
    case ErrorCode::UpgradeCut:
        return QStringLiteral("upgrade-cut");
    case ErrorCode::StartNotConfirmed:
        return QStringLiteral("start-not-confirmed");
    case ErrorCode::PresetNotLoaded:
        return QStringLiteral("preset-not-loaded");
    case ErrorCode::PresetNotSaved:
        return QStringLiteral("preset-not-saved");
    case ErrorCode::UpdateFailed:
        return QStringLiteral("update-failed");
    }
    return QStringLiteral("failed");
}

QString errorJson(const QString &code, const QString &message, const QJsonObject &also)
{
    QJsonObject object = also;
    object.insert(QStringLiteral("error"),
                  QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("message"), message}});
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + QLatin1Char('\n');
}

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

void Terminal::data(const QByteArray &bytes)
{
    endProgress();
    if (streams_.data)
        streams_.data(bytes);
    else
        streams_.out(QString::fromLatin1(bytes));
}

void Terminal::complain(const Error &error, const Answer &partial, const QString &lead)
{
    endProgress();
    const QString own = errorText(error, Audience::Command);
    const QString text = lead.isEmpty() ? own : lead + QLatin1Char(' ') + own;
    // What could be said before the failure goes first, as an answer would.
    if (json_)
        streams_.out(errorJson(errorCodeWord(error.code), text, partial.json));
    else if (!partial.text.isEmpty())
        streams_.out(partial.text);
    streams_.err(QStringLiteral("vadrelon: ") + text + QLatin1Char('\n'));
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
