#include "ui/editor.h"

#include "ui/consolewindow.h"
#include "ui/fxsettingswindow.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QFont>

namespace vadrelon {

Editor::Editor(SerialDriver &driver, Prompt &prompt, const QString &documentsFolder)
    : transport(driver, prompt), exchange(transport, log, device), settings(prompt, documentsFolder)
{
    // Every window's text, sized for the design's small fixed windows.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    QApplication::setFont(font);
    formMain = std::make_unique<TformMain>(transport, exchange, device, content, parameters, effect, log,
                                           settings, prompt);
    formPrint = std::make_unique<TformPrint>(log);
    formFXsettings = std::make_unique<TformFXsettings>(transport, exchange, log, prompt, device, content,
                                                        parameters, effect);
    formMain->attachWindows(formPrint.get(), formFXsettings.get());
}

Editor::~Editor()
{
    // The windows refer to the shared objects; they go first.
    formFXsettings.reset();
    formPrint.reset();
    formMain.reset();
}

} // namespace vadrelon
