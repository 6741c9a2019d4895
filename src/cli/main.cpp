// vadrelon: the pedal from a shell. The same core as the editor's windows, without a window:
// one command a run, its answer on stdout, one line on stderr and a non-zero status when it
// fails.
#include "cli/commandline.h"
#include "cli/runner.h"
#include "device/posixdriver.h"
#include "device/transport.h"
#include "support/consolelog.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
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

} // namespace

int main(int argc, char **argv)
{
    qInstallMessageHandler(qtMessage);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vadrelon"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VADRELON_EDITOR_VERSION));

    using namespace vadrelon;
    const auto parsed = cli::parseCommandLine(QCoreApplication::arguments().mid(1));
    if (const cli::UsageError *usage = std::get_if<cli::UsageError>(&parsed)) {
        write(stderr, QStringLiteral("vadrelon: %1 (vadrelon --help lists the commands)\n").arg(usage->message));
        return cli::kUsageExitCode;
    }
    const cli::CommandLine &line = std::get<cli::CommandLine>(parsed);
    if (line.verb == cli::Verb::Help) {
        write(stdout, cli::usageText());
        return 0;
    }

    g_traceQtMessages = line.trace;
    PosixSerialDriver driver;
    UsbTransport transport(driver);
    ConsoleLog log;
    PedalLink link(transport, log);
    cli::Streams streams{[](const QString &text) { write(stdout, text); },
                         [](const QString &text) { write(stderr, text); }, ::isatty(STDERR_FILENO) == 1};
    cli::CommandRunner runner(line, link, streams);
    QObject::connect(
        &runner, &cli::CommandRunner::finished, &app, [](int exitCode) { QCoreApplication::exit(exitCode); },
        Qt::QueuedConnection);
    QTimer::singleShot(0, &runner, &cli::CommandRunner::start);
    return QCoreApplication::exec();
}
