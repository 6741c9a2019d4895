#include "device/serialdrivers.h"
#include "support/settings.h"
#include "ui/dialogprompt.h"
#include "ui/editor.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};
bool g_mainLoopRuns = false;
bool g_endBeforeMainLoop = false;

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
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        if (g_mainLoopRuns) {
            QApplication::quit();
            return;
        }
        // Still starting up, in the loop of a message box (a settings file that could not be
        // read): quit() does nothing before the main loop runs. exit() ends the box's loop and
        // any that start after it, and main() ends instead of starting its own.
        g_endBeforeMainLoop = true;
        QApplication::exit(0);
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// Without a display Qt aborts with several lines about its platform plugins; one line that
// says what is missing and how to run the editor anyway serves better. A platform chosen by
// QT_QPA_PLATFORM or -platform (offscreen, vnc …) needs no display, and on macOS and Windows
// there is always one.
bool noDisplay(int argc, char **argv)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return false;
    return true;
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return false;
#endif
}

} // namespace

int main(int argc, char **argv)
{
    if (noDisplay(argc, argv)) {
        std::fprintf(stderr, "vadrelon-editor: no display to show the editor on (DISPLAY and WAYLAND_DISPLAY are not "
                             "set); run it on a desktop, or under xvfb-run -a vadrelon-editor\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vadrelon Editor"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vadrelon Editor"));
    QApplication::setApplicationVersion(QStringLiteral(VADRELON_EDITOR_VERSION));
    // Wayland shells match a window to its menu entry, and so to its icon, by this name.
    QApplication::setDesktopFileName(QStringLiteral("com.nerov.VadrelonEditor"));
    quitOnTerminationSignals(app);

    const std::unique_ptr<vadrelon::SerialDriver> driver = vadrelon::makeSerialDriver();
    vadrelon::DialogPrompt prompt;
    vadrelon::Editor editor(*driver, prompt, vadrelon::SettingsStore::defaultDocumentsFolder(), {},
                            vadrelon::UpdateSettings::fromEnvironment());
    prompt.setParent(editor.mainWindow.get());
    if (g_endBeforeMainLoop)
        return 0;
    editor.mainWindow->show();
    g_mainLoopRuns = true;
    return app.exec();
}
