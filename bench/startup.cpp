// Time from process start to the first exposed main window: the editor as main() builds it,
// or (with --empty) an empty Qt Widgets window for comparison. The program ends at the first
// expose; the script around it times whole runs.
#include "device/serialdrivers.h"
#include "ui/dialogprompt.h"
#include "ui/editor.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QStandardPaths>
#include <QWindow>

namespace {

class QuitOnExpose : public QObject {
protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Expose)
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return false;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QuitOnExpose quitter;
    if (argc > 1 && QByteArray(argv[1]) == "--empty") {
        QWidget empty;
        empty.show();
        empty.windowHandle()->installEventFilter(&quitter);
        return app.exec();
    }
    QApplication::setApplicationVersion(QStringLiteral(VADRELON_EDITOR_VERSION));
    const std::unique_ptr<vadrelon::SerialDriver> driver = vadrelon::makeSerialDriver();
    vadrelon::DialogPrompt prompt;
    vadrelon::Editor editor(*driver, prompt, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    editor.mainWindow->show();
    editor.mainWindow->windowHandle()->installEventFilter(&quitter);
    return app.exec();
}
