// vadrelon: the pedal from a shell. The same core as the editor's windows, without a window:
// one command a run, its answer on stdout, one line on stderr and a non-zero status when it
// fails.
#include "base/consolelog.h"
#include "cli/answers.h"
#include "cli/commandline.h"
#include "cli/runner.h"
#include "cli/terminal.h"
#include "device/serialdrivers.h"
#include "device/transport.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace {

void write(std::FILE *stream, const QString &text)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

// Qt's own remarks (a runtime folder it had to make up, and the like) are no answer and no
// failure of the command: they go with the trace, or nowhere. The handler is a plain function,
// so the choice it needs lives here, set once before the event loop starts.
bool g_traceQtMessages = false;

void qtMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (g_traceQtMessages || type == QtFatalMsg)
        write(stderr, message + QLatin1Char('\n'));
}

// SIGINT and SIGTERM end the command, but not before it says what the pedal is left with: an
// upload cut off half-way leaves it waiting for the rest. The handler only writes the
// signal's number into a pipe, which the event loop reads.
int g_signalPipe[2] = {-1, -1};

void onSignal(int signal)
{
    const char number = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &number, 1);
}

bool catchSignals()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false; // the default: ended without a word
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    qInstallMessageHandler(qtMessage);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vadrelon"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VADRELON_EDITOR_VERSION));

    using namespace vadrelon;
    const QStringList args = QCoreApplication::arguments().mid(1);
    const auto parsed = cli::parseCommandLine(args);
    if (const cli::UsageError *usage = std::get_if<cli::UsageError>(&parsed)) {
        const QString text = QStringLiteral("%1 (vadrelon --help lists the commands)").arg(usage->message);
        // The line was refused, but a script that asked for JSON still gets its object.
        const qsizetype end = args.indexOf(QStringLiteral("--"));
        const QStringList options = end < 0 ? args : args.mid(0, end);
        if (options.contains(QStringLiteral("--json")) || options.contains(QStringLiteral("-j")))
            write(stdout, cli::errorJson(QStringLiteral("usage"), text));
        write(stderr, QStringLiteral("vadrelon: %1\n").arg(text));
        return cli::kUsageExitCode;
    }
    const cli::CommandLine &line = std::get<cli::CommandLine>(parsed);
    if (line.verb == cli::Verb::Help) {
        write(stdout,
              line.helpTopic.isEmpty() ? cli::usageText() : cli::commandHelp(line.helpTopic).value_or(QString()));
        return 0;
    }
    if (line.verb == cli::Verb::Version) {
        const cli::Answer version = cli::versionAnswer(QStringLiteral(VADRELON_EDITOR_VERSION));
        write(stdout, line.json ? QString::fromUtf8(QJsonDocument(version.json).toJson(QJsonDocument::Compact)) +
                                      QLatin1Char('\n')
                                : version.text);
        return 0;
    }

    g_traceQtMessages = line.trace;
    const std::unique_ptr<SerialDriver> driver = makeSerialDriver();
    UsbTransport transport(*driver);
    ConsoleLog log;
    PedalLink link(transport, log);
    cli::Streams streams{[](const QString &text) { write(stdout, text); },
                         [](const QString &text) { write(stderr, text); }, ::isatty(STDERR_FILENO) == 1,
                         [](const QByteArray &bytes) {
                             std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
                             std::fflush(stdout);
                         }};
    cli::CommandRunner runner(line, link, streams);
    std::optional<QSocketNotifier> signalled;
    if (catchSignals())
        signalled.emplace(g_signalPipe[0], QSocketNotifier::Read);
    if (signalled)
        QObject::connect(&*signalled, &QSocketNotifier::activated, &app, [&] {
            char number = 0;
            if (::read(g_signalPipe[0], &number, 1) != 1)
                return;
            // A second signal ends the program at once.
            ::signal(SIGINT, SIG_DFL);
            ::signal(SIGTERM, SIG_DFL);
            const QString state = link.interruptedState();
            const QString said = state.isEmpty() ? line.commandName + QStringLiteral(" was interrupted") : state;
            if (line.json)
                write(stdout, cli::errorJson(QStringLiteral("interrupted"), said));
            write(stderr, QStringLiteral("%1vadrelon: %2\n")
                              .arg(streams.errIsTerminal ? QStringLiteral("\r\033[K") : QString(), said));
            QCoreApplication::exit(128 + number);
        });
    QObject::connect(
        &runner, &cli::CommandRunner::finished, &app, [](int exitCode) { QCoreApplication::exit(exitCode); },
        Qt::QueuedConnection);
    QTimer::singleShot(0, &runner, &cli::CommandRunner::start);
    return QCoreApplication::exec();
}
