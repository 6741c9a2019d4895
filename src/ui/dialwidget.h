#pragma once
#include <QString>
#include <QWidget>

namespace vadrelon {

// A round knob whose position is a whole-degree angle in -180..180: 0 points right and angles
// grow counter-clockwise, so 90 is up and -90 down. The knob turns clockwise through 270
// degrees from kMinAngle (lower left) over 180, 90 and 0 to kMaxAngle (lower right); the
// quarter between them at the bottom is dead and the user cannot put the knob there.
//
// The widget only knows angles. The level that an angle stands for, and the snapping of a
// programmatic angle out of the dead sector, belong to whoever listens to angleChanged; that
// listener supplies the text shown under the knob. The dial's caption is a separate label.
class DialWidget : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMinAngle = -135;
    static constexpr int kMaxAngle = -45;
    static constexpr int kTravel = 270;
    static constexpr int kWheelStep = 5;   // degrees per wheel notch
    static constexpr int kPageStep = 10;   // degrees per PageUp/PageDown
    static constexpr int kFocusMargin = 3; // room for the focus frame around the knob and its value

    explicit DialWidget(QWidget *parent = nullptr);

    int angle() const { return angle_; }

    // Takes the angle as given, 180 and -180 included, without moving it out of the dead
    // sector; only an angle outside -180..180 is wrapped into it. Emits angleChanged when the
    // number changes.
    void setAngle(int degrees);

    QString valueText() const { return valueText_; }
    // The drag under way, numbered (a new number for each); 0 while none is.
    int drag() const { return dragging_ ? drag_ : 0; }
    void setValueText(const QString &text);

    // The WCAG contrast ratio of two colours (1 to 21), and the colour of the ring's unlit
    // part under a palette, which the lit arc stands out from by at least 3:1 where the
    // palette allows it.
    static qreal contrast(const QColor &a, const QColor &b);
    static QColor unlitRingColor(const QPalette &palette);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // For the user's changes and programmatic ones alike, only when the angle really changed.
    void angleChanged(int degrees);
    // Enter, or a double-click: the player wants to type the value.
    void editRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QRectF knobRect() const;
    qreal textLineHeight() const;
    QFont valueFont() const;
    void stepBy(int degrees);

    int angle_ = kMinAngle;
    QString valueText_;
    bool dragging_ = false;
    int drag_ = 0;           // numbers the drags, so that the changes of one can be told together
    qreal dragY_ = 0;        // where the pointer was at the last move of a drag
    int dragRemainder_ = 0;  // fifths of a degree of drag not yet used
    int wheelRemainder_ = 0; // eighths of a degree of wheel rotation not yet used
};

} // namespace vadrelon
