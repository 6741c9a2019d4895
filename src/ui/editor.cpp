#include "ui/editor.h"

#include "ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QFont>

namespace vadrelon {

Editor::Editor(SerialDriver &driver, Prompt &prompt, const QString &documentsFolder, const Timing &timing,
               const UpdateSettings &updateSettings)
    : transport(driver), link(transport, log, timing), session(link), settings(documentsFolder),
      windows(session, prompt)
{
    // Every window's text, sized for the design's small fixed windows.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    QApplication::setFont(font);
    mainWindow = std::make_unique<MainWindow>(session, settings, prompt, windows);
    const auto item = [this](const char *name) { return mainWindow->findChild<QAction *>(QLatin1String(name)); };
    updates =
        std::make_unique<UpdateController>(updateSettings,
                                           UpdateController::Items{item("menuNewAppVersion"), item("menuUpdateNow"),
                                                                   item("menuCheckForUpdates"), item("menuSupport")},
                                           log, settings, prompt, mainWindow.get());
}

// A job still running when the editor ends goes with the link, last; a window gone by then
// receives nothing of it, as every continuation is bound to its window.
Editor::~Editor()
{
    updates.reset();
    mainWindow.reset();
}

} // namespace vadrelon
