#include "ui/fxsettingswindow.h"

namespace vadrelon {

TformFXsettings::TformFXsettings() : QWidget(nullptr, Qt::Window)
{
    setObjectName(QStringLiteral("TformFXsettings"));
    setWindowTitle(QStringLiteral("Form1"));
    setFixedSize(358, 517);
}

void TformFXsettings::EnableEffectControls(bool enabled)
{
    for (QWidget *w : findChildren<QWidget *>())
        w->setEnabled(enabled);
}

} // namespace vadrelon
