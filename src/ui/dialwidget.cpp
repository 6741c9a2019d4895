#include "ui/dialwidget.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QtMath>

#include <cstdlib>

namespace vadrelon {

namespace {

constexpr int kWheelNotch = 120; // angleDelta units of one notch of a common mouse wheel

// The value under the knob is read while turning it: its digits stand at least this many
// pixels tall at 1× scale, however small the font the dial inherits.
constexpr int kMinDigitPixels = 11;
// The widest value a knob shows, which the dial is wide enough for.
const char kWidestValue[] = "99.9 %";

// Degrees clockwise from the minimum position, 0..359; above kTravel is the dead sector.
int clockwiseFromMin(int angle)
{
    return ((DialWidget::kMinAngle - angle) % 360 + 360) % 360;
}

bool inDeadSector(int angle)
{
    return clockwiseFromMin(angle) > DialWidget::kTravel;
}

// Position along the travel, 0 (minimum) to kTravel (maximum). An angle in the dead sector
// counts as the end nearer to it; its middle, straight down, counts as the minimum.
int travelOf(int angle)
{
    const int cw = clockwiseFromMin(angle);
    if (cw <= DialWidget::kTravel)
        return cw;
    return cw >= DialWidget::kTravel + 45 ? 0 : DialWidget::kTravel;
}

// The angle at a travel position, in -179..180 (the left position reads 180, not -180).
int angleAt(int travel)
{
    int angle = DialWidget::kMinAngle - travel;
    while (angle <= -180)
        angle += 360;
    return angle;
}

// What a screen reader finds on a knob: a dial named by its caption, its value as the text
// under it ("Dry, 50.0 %"), and a value it can set: the position along the travel, 0 to 270
// degrees, which turns the knob as a key would.
class DialAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit DialAccessible(DialWidget *dial) : QAccessibleWidget(dial, QAccessible::Dial) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? dial()->valueText() : QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return travelOf(dial()->angle()); }
    void setCurrentValue(const QVariant &value) override
    {
        if (dial()->isEnabled())
            dial()->setAngle(angleAt(qBound(0, value.toInt(), int(DialWidget::kTravel))));
    }
    QVariant maximumValue() const override { return DialWidget::kTravel; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    DialWidget *dial() const { return static_cast<DialWidget *>(widget()); }
};

QAccessibleInterface *dialAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("vadrelon::DialWidget") && object && object->isWidgetType())
        return new DialAccessible(static_cast<DialWidget *>(object));
    return nullptr;
}

} // namespace

DialWidget::DialWidget(QWidget *parent) : QWidget(parent)
{
    static const bool accessible = (QAccessible::installFactory(dialAccessible), true);
    Q_UNUSED(accessible)
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void DialWidget::setAngle(int degrees)
{
    if (degrees < -180 || degrees > 180)
        degrees = ((degrees + 180) % 360 + 360) % 360 - 180; // lands in -180..179
    if (degrees == angle_)
        return;
    angle_ = degrees;
    update();
    emit angleChanged(angle_);
}

void DialWidget::setValueText(const QString &text)
{
    if (text == valueText_)
        return;
    valueText_ = text;
    update();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent changed(this, travelOf(angle_));
        QAccessible::updateAccessibility(&changed);
    }
}

// A step smaller than the caption beneath it, so that the two read as value and name, but never
// with digits shorter than kMinDigitPixels. In pixels whatever the font was given in, so that
// the floor holds on any screen.
QFont DialWidget::valueFont() const
{
    QFont value = font();
    int pixels = QFontInfo(font()).pixelSize() * 4 / 5;
    for (;; ++pixels) {
        value.setPixelSize(pixels);
        if (QFontMetrics(value).tightBoundingRect(QStringLiteral("0123456789")).height() >= kMinDigitPixels ||
            pixels >= 4 * kMinDigitPixels)
            return value;
    }
}

QSize DialWidget::sizeHint() const
{
    const QFontMetrics metrics(valueFont());
    return QSize(qMax(44, metrics.horizontalAdvance(QLatin1String(kWidestValue)) + 4) + 2 * kFocusMargin,
                 44 + metrics.height() + 2 * kFocusMargin);
}

QSize DialWidget::minimumSizeHint() const
{
    return QSize(24, 24 + QFontMetrics(valueFont()).height());
}

// The largest square above the line of value text, centred across the widget. The text line
// is kept even while empty so that the knob does not move when the text arrives; a widget too
// short for both (a bare 40 × 40 knob) gives the whole square to the knob and shows no text.
QRectF DialWidget::knobRect() const
{
    const qreal side = qMin<qreal>(width() - 2 * kFocusMargin, height() - textLineHeight() - 2 * kFocusMargin);
    return QRectF((width() - side) / 2, kFocusMargin, side, side);
}

qreal DialWidget::textLineHeight() const
{
    const qreal line = QFontMetrics(valueFont()).height();
    return height() - line - 2 * kFocusMargin >= (width() - 2 * kFocusMargin) * 0.8 ? line : 0;
}

void DialWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The disabled colour group alone is too subtle in several styles.
    if (!isEnabled())
        painter.setOpacity(0.45);

    const QPalette &pal = palette();
    const QRectF knob = knobRect();
    const qreal ringWidth = qMax<qreal>(2.0, knob.width() * 0.09);
    const QRectF ring =
        knob.adjusted(ringWidth / 2 + 0.5, ringWidth / 2 + 0.5, -ringWidth / 2 - 0.5, -ringWidth / 2 - 0.5);

    // Qt's arcs use the same convention as the knob: 1/16 degree, counter-clockwise positive.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(unlitRingColor(pal), ringWidth, Qt::SolidLine, Qt::FlatCap));
    painter.drawArc(ring, kMinAngle * 16, -kTravel * 16);
    const int travel = travelOf(angle_);
    if (travel > 0) {
        painter.setPen(QPen(pal.color(QPalette::Highlight), ringWidth, Qt::SolidLine, Qt::FlatCap));
        painter.drawArc(ring, kMinAngle * 16, -travel * 16);
    }

    const qreal gap = ringWidth * 0.5 + qMax<qreal>(1.5, knob.width() * 0.05);
    const QRectF body = ring.adjusted(gap, gap, -gap, -gap);
    const QColor face = pal.color(QPalette::Button);
    QLinearGradient shade(body.topLeft(), body.bottomRight());
    shade.setColorAt(0, face.lighter(118));
    shade.setColorAt(1, face.darker(112));
    painter.setBrush(shade);
    painter.setPen(QPen(pal.color(hasFocus() ? QPalette::Highlight : QPalette::Mid), 1.2));
    painter.drawEllipse(body);

    const qreal radians = qDegreesToRadians(qreal(angle_));
    const QPointF direction(qCos(radians), -qSin(radians)); // screen y grows downwards
    const qreal radius = body.width() / 2;
    painter.setPen(
        QPen(pal.color(QPalette::ButtonText), qMax<qreal>(1.5, knob.width() * 0.06), Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(body.center() + direction * radius * 0.25, body.center() + direction * (radius - 2.5));

    // The keyboard's place, as plain as a focused list's frame: the knob and its value framed.
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(pal.color(QPalette::Highlight), 2.0, Qt::SolidLine));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
    }

    if (!valueText_.isEmpty() && textLineHeight() > 0) {
        painter.setFont(valueFont());
        painter.setPen(pal.color(QPalette::WindowText));
        painter.drawText(QRectF(0, knob.bottom(), width(), height() - knob.bottom() - kFocusMargin),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, valueText_);
    }
}

qreal DialWidget::contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto channel = [](qreal v) { return v <= 0.03928 ? v / 12.92 : qPow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const qreal la = luminance(a);
    const qreal lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

// The unlit part of the ring: a shade between the window and its text, as visible as it can be
// while the lit arc still stands out from it by 3:1, so that the value does not rest on colour
// alone. Where the text's side cannot give that, the shade goes the other way from the arc.
QColor DialWidget::unlitRingColor(const QPalette &pal)
{
    const QColor window = pal.color(QPalette::Window);
    const QColor lit = pal.color(QPalette::Highlight);
    const auto mix = [&window](const QColor &towards, qreal t) {
        return QColor::fromRgbF(window.redF() + (towards.redF() - window.redF()) * t,
                                window.greenF() + (towards.greenF() - window.greenF()) * t,
                                window.blueF() + (towards.blueF() - window.blueF()) * t);
    };
    const QColor away = contrast(lit, Qt::black) > contrast(lit, Qt::white) ? QColor(Qt::black) : QColor(Qt::white);
    QColor best = window;
    for (const QColor &towards : {pal.color(QPalette::WindowText), away}) {
        for (int step = 9; step >= 0; --step) {
            const QColor shade = mix(towards, step * 0.05);
            if (contrast(lit, shade) >= 3.0)
                return shade;
            if (contrast(lit, shade) > contrast(lit, best))
                best = shade;
        }
    }
    return best;
}

// A click changes nothing: only a drag turns the knob, as in audio software, so that a knob is
// never set by accident. Up is more; with Shift held the drag is fine.
void DialWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    dragging_ = true;
    static int drags = 0;
    drag_ = ++drags;
    dragY_ = event->position().y();
    dragRemainder_ = 0;
    event->accept();
}

void DialWidget::mouseMoveEvent(QMouseEvent *event)
{
    // A release lost while the widget was disabled must not leave it dragging.
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) {
        dragging_ = false;
        QWidget::mouseMoveEvent(event);
        return;
    }
    const qreal y = event->position().y();
    // In fifths of a degree: a pixel is a degree, or a fifth of one with Shift.
    const int fifths = dragRemainder_ + qRound((dragY_ - y) * ((event->modifiers() & Qt::ShiftModifier) ? 1 : 5));
    dragY_ = y;
    dragRemainder_ = fifths % 5;
    stepBy(fifths / 5);
    event->accept();
}

void DialWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    dragging_ = false;
    event->accept();
}

void DialWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    emit editRequested();
    event->accept();
}

// Clockwise (towards the maximum) for positive steps; stops at the ends.
void DialWidget::stepBy(int degrees)
{
    if (degrees == 0)
        return;
    const int travel = qBound(0, travelOf(angle_) + degrees, int(kTravel));
    if (travel != travelOf(angle_) || inDeadSector(angle_))
        setAngle(angleAt(travel));
}

void DialWidget::wheelEvent(QWheelEvent *event)
{
    int delta = event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
    if (event->inverted())
        delta = -delta;
    // Fine-grained wheels and touchpads send parts of a notch: keep the rest for the next one.
    const int scaled = wheelRemainder_ + delta * kWheelStep;
    wheelRemainder_ = scaled % kWheelNotch;
    stepBy(scaled / kWheelNotch);
    event->accept();
}

void DialWidget::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        stepBy(1);
        break;
    case Qt::Key_Down:
    case Qt::Key_Left:
        stepBy(-1);
        break;
    case Qt::Key_PageUp:
        stepBy(kPageStep);
        break;
    case Qt::Key_PageDown:
        stepBy(-kPageStep);
        break;
    case Qt::Key_Home:
        stepBy(-kTravel);
        break;
    case Qt::Key_End:
        stepBy(kTravel);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit editRequested();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

} // namespace vadrelon
