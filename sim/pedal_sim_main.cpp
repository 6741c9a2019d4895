// vadrelon-pedal-sim: serves one virtual pedal on a pseudo-terminal, announces it to the
// editor's discovery, logs what it receives, and ends cleanly on SIGTERM or SIGINT. Each of the
// library's faults can be chosen on the command line, so that the editor's handling of a
// misbehaving pedal can be tried by hand and from tests of the built programs.
#include "virtualpedal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using vadrelon::sim::BootloaderStep;
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
    ~PtyServer() { close(); }
    // Closing the master hangs up the editor's end as a pulled cable does (POLLHUP, end of file
    // on read, EIO on write); the slave kept against that has nothing left to guard.
    void close()
    {
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
        slave_ = master_ = -1;
    }
    bool isOpen() const { return master_ >= 0; }
    int master() const { return master_; }
    // Bytes written to the master that the editor's end has not read. A write shows up here
    // only once the kernel has moved it across, a moment later.
    int unreadAtTheEditorsEnd() const
    {
        int n = 0;
        return slave_ >= 0 && ioctl(slave_, FIONREAD, &n) == 0 ? n : 0;
    }
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
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/vadrelon-virtual-pedals");
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

// The bootloader commands the pedal understands and the frames of each that it answers.
struct BootloaderCommand {
    const char *name;
    quint8 code;
    std::vector<BootloaderStep> steps;
};

const std::vector<BootloaderCommand> &bootloaderCommands()
{
    static const std::vector<BootloaderCommand> commands{
        {"get", 0x00, {BootloaderStep::Command}},
        {"get-version", 0x01, {BootloaderStep::Command}},
        {"get-id", 0x02, {BootloaderStep::Command}},
        {"read", 0x11, {BootloaderStep::Command, BootloaderStep::Address, BootloaderStep::Count}},
        {"go", 0x21, {BootloaderStep::Command, BootloaderStep::Address}},
        {"write", 0x31, {BootloaderStep::Command, BootloaderStep::Address, BootloaderStep::Data}},
        {"erase", 0x43, {BootloaderStep::Command, BootloaderStep::Erase}},
    };
    return commands;
}

std::optional<BootloaderStep> bootloaderStepNamed(const QString &name)
{
    const std::pair<const char *, BootloaderStep> steps[] = {
        {"command", BootloaderStep::Command}, {"address", BootloaderStep::Address}, {"count", BootloaderStep::Count},
        {"data", BootloaderStep::Data},       {"erase", BootloaderStep::Erase},
    };
    for (const auto &[stepName, step] : steps) {
        if (name.compare(QLatin1String(stepName), Qt::CaseInsensitive) == 0)
            return step;
    }
    return std::nullopt;
}

// COMMAND[:STEP], where COMMAND is a name or its byte in hex (0x31). STEP defaults to the
// command's last one, the step that does the work.
bool parseNack(const QString &text, int &command, BootloaderStep &step)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() > 2)
        return false;
    bool isByte = false;
    uint code = 0;
    if (parts[0].startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        code = parts[0].mid(2).toUInt(&isByte, 16);
    const auto &commands = bootloaderCommands();
    const auto chosen = std::find_if(commands.begin(), commands.end(), [&](const BootloaderCommand &c) {
        return isByte ? code == c.code : parts[0].compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0;
    });
    if (chosen == commands.end())
        return false;
    command = chosen->code;
    if (parts.size() == 1) {
        step = chosen->steps.back();
        return true;
    }
    const std::optional<BootloaderStep> named = bootloaderStepNamed(parts[1]);
    if (!named || std::find(chosen->steps.begin(), chosen->steps.end(), *named) == chosen->steps.end())
        return false;
    step = *named;
    return true;
}

// A comma-separated list of byte offsets, each at least 1.
bool parseCuts(const QString &text, QList<int> &cuts)
{
    for (const QString &item : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int cut = item.trimmed().toInt(&ok);
        if (!ok || cut < 1)
            return false;
        cuts << cut;
    }
    return true;
}

// Text as given, except for the escapes \r, \n, \t, \\ and \xHH, so that any byte can be
// typed in a shell.
std::optional<QByteArray> parseEscapedText(const QString &text)
{
    const QByteArray in = text.toUtf8();
    QByteArray out;
    for (int i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out += in[i];
            continue;
        }
        if (++i == in.size())
            return std::nullopt;
        switch (in[i]) {
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case '\\':
            out += '\\';
            break;
        case 'x':
            if (i + 2 >= in.size() || !std::isxdigit(quint8(in[i + 1])) || !std::isxdigit(quint8(in[i + 2])))
                return std::nullopt;
            out += char(in.mid(i + 1, 2).toUInt(nullptr, 16));
            i += 2;
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

// K=TEXT: the value at index K of the status reply sent as TEXT.
bool parseValueText(const QString &item, QMap<int, QByteArray> &texts)
{
    const qsizetype equals = item.indexOf(QLatin1Char('='));
    if (equals < 0)
        return false;
    bool ok = false;
    const int index = item.left(equals).toInt(&ok);
    const std::optional<QByteArray> text = parseEscapedText(item.mid(equals + 1));
    if (!ok || index < 0 || index >= vadrelon::sim::kStatusValueCount || !text)
        return false;
    texts[index] = *text;
    return true;
}

// N,MS: N bytes of "abc\n" over and over (nothing the pedal ever answers) every MS milliseconds.
bool parseChatter(const QString &text, QByteArray &bytes, int &everyMs)
{
    const QStringList parts = text.split(QLatin1Char(','));
    bool countOk = false, periodOk = false;
    const int count = parts.size() == 2 ? parts[0].trimmed().toInt(&countOk) : 0;
    everyMs = parts.size() == 2 ? parts[1].trimmed().toInt(&periodOk) : 0;
    if (!countOk || !periodOk || count < 1 || everyMs < 1)
        return false;
    const QByteArray pattern("abc\n");
    bytes.clear();
    for (int i = 0; i < count; ++i)
        bytes += pattern[i % pattern.size()];
    return true;
}

// A number of at least `least`, or nothing when the option was not given.
bool parseCount(const QCommandLineParser &parser, const QCommandLineOption &option, int least, int &out)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    out = parser.value(option).toInt(&ok);
    return ok && out >= least;
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
    const QCommandLineOption delayOpt("answer-delay", "Fault: extra delay before every answer.", "MS", "0");
    const QCommandLineOption silentOpt("silent",
                                       "Fault: answer nothing at all (messages are still received and logged).");
    const QCommandLineOption cutOpt("cut-reply", "Fault: the status reply stops after N bytes.", "N");
    const QCommandLineOption splitOpt(
        "split-reply",
        "Fault: the status reply is sent in pieces, cut before each of these byte offsets, with --split-gap of quiet "
        "line before each later piece.",
        "AT[,AT...]");
    const QCommandLineOption splitGapOpt(
        "split-gap", "The pause between the pieces of a split status reply; 50 unless given.", "MS", "50");
    const QCommandLineOption garbleOpt(
        "garble",
        "Fault: a garbled status reply. 'digits': every digit becomes a letter and every CR LF stays where it was, "
        "so a reader sees the right number of fields with garbage in them; 'all': every byte changes, CR LF too.",
        "digits|all");
    const QCommandLineOption nackOpt(
        "nack",
        "Fault: the bootloader answers NACK at one step of one command and ACKs the steps before it. COMMAND is get, "
        "get-version, get-id, read, go, write or erase, or its byte (0x31). STEP is command (the command byte and its "
        "complement), address (the four address bytes and checksum), count (read's byte count), data (write's data "
        "block and checksum) or erase (erase's page list or global-erase code); without it, the command's last step. "
        "Examples: write:address, 0x31:data, erase, 0x43:command.",
        "COMMAND[:STEP]");
    const QCommandLineOption nackTimesOpt(
        "nack-times", "With --nack: the NACK comes only the first N times (a stopped upgrade that a second one mends).",
        "N");
    const QCommandLineOption unplugOpt(
        "unplug-after",
        "Fault: the pedal is pulled out after N received messages: once the editor has read what the pedal sent (or "
        "after 2 s), the pseudo-terminal closes (the editor's end hangs up), the announcement file goes, and the "
        "program ends.",
        "N");
    const QCommandLineOption valuesOpt(
        "reply-values", "Fault: the status reply carries only its first N values (N lines, each ended by CR LF).", "N");
    const QCommandLineOption valueTextOpt(
        "value-text",
        "Fault: value K of the status reply (0 to 89, in reply order) is sent as TEXT instead of its number, e.g. "
        "25=-1, 0=x1, 3=300, 4=007, or 7= for nothing before its CR LF. TEXT takes the escapes of --reply-prefix. "
        "May be given once for each value.",
        "K=TEXT");
    const QCommandLineOption prefixOpt(
        "reply-prefix",
        "Fault: bytes sent just before the status reply. TEXT is sent as given except for the escapes \\r, \\n, "
        "\\t, \\\\ and \\xHH (any byte), e.g. '\\r\\n' for a stray CR LF. The byte offsets of --cut-reply, "
        "--split-reply and --die-mid-reply count these bytes too.",
        "TEXT");
    const QCommandLineOption suffixOpt(
        "reply-suffix",
        "Fault: bytes sent just after the status reply, written as for --reply-prefix, e.g. 'xyz' or '\\x00\\xFF'.",
        "TEXT");
    const QCommandLineOption answerFirstOpt(
        "answer-status-requests",
        "Fault: only the first N status requests are answered; later ones get silence, while every other message is "
        "still handled.",
        "N");
    const QCommandLineOption chatterOpt(
        "chatter",
        "Fault: N bytes every MS milliseconds, unasked, for as long as the pedal is plugged in: \"abc\\n\" over and "
        "over, which is no answer the pedal ever gives. E.g. 4,50.",
        "N,MS");
    const QCommandLineOption dieOpt(
        "die-mid-reply",
        "Fault: the pedal sends the first N bytes of its status reply (prefix included) and is then pulled out as "
        "with --unplug-after.",
        "N");
    const QCommandLineOption leaveAnnouncementOpt(
        "leave-announcement",
        "When the pedal is pulled out (--unplug-after, --die-mid-reply), leave the announcement file behind, as a "
        "crashed pedal would. SIGTERM and SIGINT still remove it.");
    const QCommandLineOption stopReadingOpt(
        "stop-reading-after",
        "Fault: after N received messages the pedal reads nothing more from the pseudo-terminal, so its buffer fills "
        "and the editor's writes stall; it still sends what it has to and stays plugged in.",
        "N");
    const QCommandLineOption stuckBitOpt(
        "stuck-bit",
        "Fault: the flash byte at OFFSET from the start of flash keeps its lowest bit set whatever is written; the "
        "write is still acknowledged, so only reading the flash back finds it.",
        "OFFSET");
    const QCommandLineOption logOpt("log", "Log every received message to this file.", "FILE");
    const QCommandLineOption announceOpt("announce-dir", "Folder of the announcement file.", "DIR");
    parser.addOptions({serialOpt,      descriptionOpt, firmwareOpt, algorithmOpt, bootloaderOpt, lineRateOpt,
                       logOpt,         announceOpt,    delayOpt,    silentOpt,    cutOpt,        splitOpt,
                       splitGapOpt,    garbleOpt,      valuesOpt,   valueTextOpt, prefixOpt,     suffixOpt,
                       answerFirstOpt, chatterOpt,     nackOpt,     unplugOpt,    dieOpt,        leaveAnnouncementOpt,
                       stopReadingOpt, stuckBitOpt,    nackTimesOpt});
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

    vadrelon::sim::Faults faults;
    faults.answerDelayMs = answerDelay;
    faults.silent = parser.isSet(silentOpt);
    if (!parseCount(parser, cutOpt, 0, faults.cutReplyAfterBytes))
        return fail(QStringLiteral("--cut-reply takes a number of bytes"));
    if (parser.isSet(splitOpt) && !parseCuts(parser.value(splitOpt), faults.splitReplyAtBytes))
        return fail(QStringLiteral("--split-reply takes byte offsets from 1 up, separated by commas, e.g. 10,100"));
    faults.splitReplyGapMs = parser.value(splitGapOpt).toInt(&ok);
    if (!ok || faults.splitReplyGapMs < 0)
        return fail(QStringLiteral("--split-gap takes a number of milliseconds"));
    if (parser.isSet(garbleOpt)) {
        const QString mode = parser.value(garbleOpt);
        if (mode == QLatin1String("digits"))
            faults.garbleReplyDigits = true;
        else if (mode == QLatin1String("all"))
            faults.garbleReply = true;
        else
            return fail(QStringLiteral("--garble takes 'digits' or 'all'"));
    }
    if (parser.isSet(nackOpt) &&
        !parseNack(parser.value(nackOpt), faults.nackAtBootloaderCommand, faults.nackAtBootloaderStep))
        return fail(QStringLiteral("--nack takes COMMAND[:STEP] with a step that command has, e.g. write:address "
                                   "(see --help)"));
    if (!parseCount(parser, nackTimesOpt, 1, faults.nackTimes))
        return fail(QStringLiteral("--nack-times takes a number from 1 up"));
    if (!parseCount(parser, unplugOpt, 1, faults.unplugAfterMessages))
        return fail(QStringLiteral("--unplug-after takes a number of messages from 1 up"));
    if (!parseCount(parser, valuesOpt, 0, faults.replyValueCount) ||
        faults.replyValueCount > vadrelon::sim::kStatusValueCount)
        return fail(QStringLiteral("--reply-values takes a number of values from 0 to %1")
                        .arg(vadrelon::sim::kStatusValueCount));
    for (const QString &item : parser.values(valueTextOpt)) {
        if (!parseValueText(item, faults.replyValueTexts))
            return fail(QStringLiteral("--value-text takes K=TEXT with K from 0 to %1, e.g. 25=-1 (see --help)")
                            .arg(vadrelon::sim::kStatusValueCount - 1));
    }
    const std::pair<const QCommandLineOption &, QByteArray &> garbage[] = {{prefixOpt, faults.replyPrefix},
                                                                           {suffixOpt, faults.replySuffix}};
    for (const auto &[option, bytes] : garbage) {
        const std::optional<QByteArray> text = parseEscapedText(parser.value(option));
        if (!text)
            return fail(QStringLiteral("--%1 takes text with the escapes \\r, \\n, \\t, \\\\ and \\xHH only")
                            .arg(option.names().constFirst()));
        bytes = *text;
    }
    if (!parseCount(parser, answerFirstOpt, 0, faults.statusRequestsAnswered))
        return fail(QStringLiteral("--answer-status-requests takes a number of requests"));
    if (parser.isSet(chatterOpt) && !parseChatter(parser.value(chatterOpt), faults.chatter, faults.chatterEveryMs))
        return fail(QStringLiteral("--chatter takes N,MS: a number of bytes and milliseconds, each from 1 up, e.g. "
                                   "4,50"));
    if (!parseCount(parser, dieOpt, 0, faults.dieAfterReplyBytes))
        return fail(QStringLiteral("--die-mid-reply takes a number of bytes"));
    if (!parseCount(parser, stopReadingOpt, 0, faults.stopReadingAfterMessages))
        return fail(QStringLiteral("--stop-reading-after takes a number of messages"));
    if (!parseCount(parser, stuckBitOpt, 0, faults.stuckBitOffset) || faults.stuckBitOffset >= 128 * 1024)
        return fail(QStringLiteral("--stuck-bit takes an offset into the 128 KiB of flash"));

    VirtualPedal pedal;
    pedal.serialNumber = parser.value(serialOpt).toUtf8();
    pedal.description = parser.value(descriptionOpt).toUtf8();
    pedal.state().firmwareVersion = quint8(firmware);
    pedal.state().algorithmVersion = quint16(algorithmBcd);
    pedal.faults() = faults;
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
    // A pedal that stops reading leaves the bytes in the kernel, whose buffer then fills and
    // holds up the editor's writes.
    QSocketNotifier readable(pty.master(), QSocketNotifier::Read);
    readable.setEnabled(pedal.isReading());
    QObject::connect(&readable, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        while (pty.isOpen()) {
            if (!pedal.isReading()) {
                readable.setEnabled(false);
                return;
            }
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
    QElapsedTimer sinceLastWrite;
    sinceLastWrite.start();
    QSocketNotifier writable(pty.master(), QSocketNotifier::Write);
    writable.setEnabled(false);
    auto flush = [&] {
        while (pty.isOpen() && !pending.isEmpty()) {
            const ssize_t n = ::write(pty.master(), pending.constData(), size_t(pending.size()));
            if (n > 0) {
                pending.remove(0, int(n));
                sinceLastWrite.restart();
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            break;
        }
        writable.setEnabled(pty.isOpen() && !pending.isEmpty());
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
    // The process id lets the editor pass over the announcement of a pedal that was killed
    // before it could remove it.
    announcement.write(pty.slavePath().toUtf8() + '\n' + pedal.serialNumber + '\n' + pedal.description + '\n' +
                       QByteArray::number(QCoreApplication::applicationPid()) + '\n');
    announcement.close();

    // Closing the master throws away what the editor's end has not read, but a pulled pedal's
    // last bytes have reached the host before it goes: the port hangs up once the editor has
    // taken them, or once it has had kHangUpWaitMs to do so.
    constexpr int kMoveAcrossMs = 20; // for a write to show up as unread at the editor's end
    constexpr int kHangUpWaitMs = 2000;
    QElapsedTimer sinceUnplugged;
    QTimer hangUp;
    hangUp.setInterval(5);
    QObject::connect(&hangUp, &QTimer::timeout, [&] {
        const bool taken =
            pending.isEmpty() && sinceLastWrite.elapsed() >= kMoveAcrossMs && pty.unreadAtTheEditorsEnd() == 0;
        if (!taken && sinceUnplugged.elapsed() < kHangUpWaitMs)
            return;
        hangUp.stop();
        writable.setEnabled(false);
        pty.close();
        std::fprintf(stderr, "vadrelon-pedal-sim: unplugged after %d messages\n", int(pedal.received().size()));
        app.quit(); // the announcement goes on the way out, as on SIGTERM, unless it is to stay
    });
    // Queued, so that the pty is not closed under the read that brought the last message.
    QObject::connect(
        &pedal, &VirtualPedal::unplugged, &app,
        [&] {
            readable.setEnabled(false);
            sinceUnplugged.start();
            hangUp.start();
        },
        Qt::QueuedConnection);

    std::printf("%s\n", qPrintable(pty.slavePath()));
    std::fflush(stdout);

    const int rc = app.exec();
    if (!(parser.isSet(leaveAnnouncementOpt) && pedal.isUnplugged()))
        announcement.remove();
    ::close(signalFd);
    return rc;
}
