#include "device/posixdriver.h"
#include "ui/dialogprompt.h"
#include "ui/editor.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the editor the way closing its window does.
void quitOnTerminationSignals(QApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QApplication::quit);
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vadrelon Editor"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vadrelon Editor"));
    QApplication::setApplicationVersion(QStringLiteral(VADRELON_EDITOR_VERSION));
    quitOnTerminationSignals(app);

    vadrelon::PosixSerialDriver driver;
    vadrelon::DialogPrompt prompt;
    vadrelon::Editor editor(driver, prompt, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    prompt.setParent(editor.mainWindow.get());
    editor.mainWindow->show();
    return app.exec();
}
