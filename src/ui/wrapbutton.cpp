#include "ui/wrapbutton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace vadrelon {

void WrapButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    // A look with thick borders leaves less room: step the font down until the caption fits.
    QFont f = font();
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    while (f.pixelSize() > 8 && QFontMetrics(f).boundingRect(area, flags, caption).height() > area.height()) {
        f.setPixelSize(f.pixelSize() - 1);
    }
    painter.setFont(f);
    painter.drawText(area, flags, caption);
}

} // namespace vadrelon
