// vadrelon-pedal-sim: serves one virtual pedal on a pseudo-terminal, announces it to the
// editor's discovery, logs what it receives, and ends cleanly on SIGTERM or SIGINT.
#include "virtualpedal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

using vadrelon::sim::Framing;
using vadrelon::sim::ReceivedMessage;
using vadrelon::sim::VirtualPedal;

namespace {

// The master side of a raw pseudo-terminal. A slave descriptor stays open for the whole run:
// without it the master reads EIO whenever the editor closes its end.
class PtyServer {
public:
    bool open(QString &error)
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            error = QStringLiteral("cannot create a pseudo-terminal: %1").arg(qt_error_string(errno));
            return false;
        }
        const char *name = ptsname(master_);
        if (!name) {
            error = QStringLiteral("ptsname failed");
            return false;
        }
        slavePath_ = QString::fromLocal8Bit(name);
        slave_ = ::open(name, O_RDWR | O_NOCTTY);
        if (slave_ < 0) {
            error = QStringLiteral("cannot open %1: %2").arg(slavePath_, qt_error_string(errno));
            return false;
        }
        termios t{};
        tcgetattr(slave_, &t);
        cfmakeraw(&t);
        cfsetispeed(&t, B115200);
        cfsetospeed(&t, B115200);
        tcsetattr(slave_, TCSANOW, &t);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        return true;
    }
    ~PtyServer()
    {
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
    }
    int master() const { return master_; }
    QString slavePath() const { return slavePath_; }

private:
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
};

QString announceFolder(const QString &option)
{
    if (!option.isEmpty())
        return option;
    const QByteArray env = qgetenv("VADRELON_VIRTUAL_PEDALS_DIR");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/vadrelon-virtual-pedals");
}

QByteArray logLine(const ReceivedMessage &m)
{
    return QDateTime::fromMSecsSinceEpoch(m.msecsSinceEpoch).toString(Qt::ISODateWithMs).toLatin1() + ' ' +
           m.bytes.toHex(' ').toUpper() + '\n';
}

int fail(const QString &message)
{
    std::fprintf(stderr, "vadrelon-pedal-sim: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    // Blocked before any thread starts, so that only the signalfd sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vadrelon-pedal-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Serves a virtual Vadrelon MK3 on a pseudo-terminal."));
    parser.addHelpOption();
    const QCommandLineOption serialOpt("serial", "Serial number.", "S", "VP000001");
    const QCommandLineOption descriptionOpt("description", "Description.", "D", "Vadrelon MK3 (virtual)");
    const QCommandLineOption firmwareOpt("firmware", "Firmware version.", "N", "11");
    const QCommandLineOption algorithmOpt("algorithm", "Algorithm version, four BCD digits.", "XXXX", "0012");
    const QCommandLineOption bootloaderOpt("bootloader", "Start in the bootloader (SHIFT held at power-up).");
    const QCommandLineOption lineRateOpt("line-rate", "Take the time 115200 baud takes.");
    const QCommandLineOption delayOpt("answer-delay", "Extra delay before every answer.", "MS", "0");
    const QCommandLineOption logOpt("log", "Log every received message to this file.", "FILE");
    const QCommandLineOption announceOpt("announce-dir", "Folder of the announcement file.", "DIR");
    parser.addOptions({serialOpt, descriptionOpt, firmwareOpt, algorithmOpt, bootloaderOpt, lineRateOpt, delayOpt,
                       logOpt, announceOpt});
    parser.process(app);

    bool ok = false;
    const uint firmware = parser.value(firmwareOpt).toUInt(&ok);
    if (!ok || firmware > 255)
        return fail(QStringLiteral("--firmware takes a number from 0 to 255"));
    const QString algorithm = parser.value(algorithmOpt);
    const uint algorithmBcd = algorithm.toUInt(&ok, 16);
    if (algorithm.size() != 4 || !ok || algorithm.contains(QRegularExpression(QStringLiteral("[^0-9]"))))
        return fail(QStringLiteral("--algorithm takes four decimal digits, e.g. 0012"));
    const int answerDelay = parser.value(delayOpt).toInt(&ok);
    if (!ok || answerDelay < 0)
        return fail(QStringLiteral("--answer-delay takes a number of milliseconds"));

    VirtualPedal pedal;
    pedal.serialNumber = parser.value(serialOpt).toUtf8();
    pedal.description = parser.value(descriptionOpt).toUtf8();
    pedal.state().firmwareVersion = quint8(firmware);
    pedal.state().algorithmVersion = quint16(algorithmBcd);
    pedal.faults().answerDelayMs = answerDelay;
    pedal.setLineRate(parser.isSet(lineRateOpt));
    if (parser.isSet(bootloaderOpt))
        pedal.startInBootloader();

    QFile log;
    if (parser.isSet(logOpt)) {
        log.setFileName(parser.value(logOpt));
        if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
            return fail(QStringLiteral("cannot open the log %1: %2").arg(log.fileName(), log.errorString()));
        QObject::connect(&pedal, &VirtualPedal::messageReceived, [&log](const ReceivedMessage &m) {
            log.write(logLine(m));
            log.flush();
        });
    }

    PtyServer pty;
    QString error;
    if (!pty.open(error))
        return fail(error);

    // Host to pedal. A pty carries no parity, so the pedal is told the framing is unknown.
    Framing framing;
    framing.parityKnown = false;
    QSocketNotifier readable(pty.master(), QSocketNotifier::Read);
    QObject::connect(&readable, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(pty.master(), buffer, sizeof buffer);
            if (n > 0) {
                pedal.hostWrite(QByteArray(buffer, int(n)), framing);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            return; // EAGAIN: drained
        }
    });

    // Pedal to host: what the pty cannot take now waits until it becomes writable.
    QByteArray pending;
    QSocketNotifier writable(pty.master(), QSocketNotifier::Write);
    writable.setEnabled(false);
    auto flush = [&] {
        while (!pending.isEmpty()) {
            const ssize_t n = ::write(pty.master(), pending.constData(), size_t(pending.size()));
            if (n > 0) {
                pending.remove(0, int(n));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            break;
        }
        writable.setEnabled(!pending.isEmpty());
    };
    QObject::connect(&writable, &QSocketNotifier::activated, flush);
    QObject::connect(&pedal, &VirtualPedal::toHost, [&](const QByteArray &bytes) {
        pending += bytes;
        flush();
    });

    const int signalFd = signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signalFd < 0)
        return fail(QStringLiteral("signalfd failed: %1").arg(qt_error_string(errno)));
    QSocketNotifier stopNotifier(signalFd, QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    const QString folder = announceFolder(parser.value(announceOpt));
    QDir().mkpath(folder);
    QFile announcement(folder + QLatin1Char('/') + QString::fromUtf8(pedal.serialNumber) + QStringLiteral(".port"));
    if (!announcement.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(QStringLiteral("cannot write %1: %2").arg(announcement.fileName(), announcement.errorString()));
    announcement.write(pty.slavePath().toUtf8() + '\n' + pedal.serialNumber + '\n' + pedal.description + '\n');
    announcement.close();

    std::printf("%s\n", qPrintable(pty.slavePath()));
    std::fflush(stdout);

    const int rc = app.exec();
    announcement.remove();
    ::close(signalFd);
    return rc;
}
