#include "ui/effectlist.h"

#include <QKeyEvent>

namespace vadrelon {

void EffectList::keyPressEvent(QKeyEvent *event)
{
    const int row = currentRow();
    if (event->key() == Qt::Key_Up) {
        emit arrowPressed(QStringLiteral("arrow up pressed"));
        if (row > 0)
            setCurrentRow(row - 1);
    } else if (event->key() == Qt::Key_Down) {
        emit arrowPressed(QStringLiteral("arrow down pressed"));
        if (row < count() - 1)
            setCurrentRow(row + 1);
    } else {
        QListWidget::keyPressEvent(event);
    }
}

} // namespace vadrelon
