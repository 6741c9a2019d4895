#include "support/looks.h"
#include "ui/dialwidget.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <QtMath>

#include <gtest/gtest.h>

#include <vector>

using vadrelon::DialWidget;

namespace {

bool inDeadSector(int angle)
{
    return angle > DialWidget::kMinAngle && angle < DialWidget::kMaxAngle;
}

class DialWidgetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Tall enough that the knob is the 100 × 100 square at the top, centred on (50, 50).
        dial.resize(100, 300);
    }

    void startAt(int angle)
    {
        dial.setAngle(angle);
        spy.clear();
    }

    // A point 40 px from the knob's centre in the direction of angle.
    static QPoint pointAt(int angle)
    {
        const qreal radians = qDegreesToRadians(qreal(angle));
        return QPoint(50 + qRound(40 * qCos(radians)), 50 - qRound(40 * qSin(radians)));
    }

    static void wheel(DialWidget &target, int delta, bool inverted = false)
    {
        QWheelEvent event(QPointF(20, 20), target.mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, inverted);
        QCoreApplication::sendEvent(&target, &event);
    }

    void drag(const std::vector<int> &angles)
    {
        QTest::mousePress(&dial, Qt::LeftButton, Qt::NoModifier, pointAt(angles.front()));
        for (size_t i = 1; i < angles.size(); ++i)
            QTest::mouseMove(&dial, pointAt(angles[i]));
        QTest::mouseRelease(&dial, Qt::LeftButton, Qt::NoModifier, pointAt(angles.back()));
    }

    DialWidget dial;
    QSignalSpy spy{&dial, &DialWidget::angleChanged};
};

TEST_F(DialWidgetTest, SetAngleEmitsOnlyOnRealChangeAndKeepsTheAngleAsGiven)
{
    EXPECT_EQ(dial.angle(), DialWidget::kMinAngle);

    dial.setAngle(90);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 90);

    dial.setAngle(90);
    EXPECT_EQ(spy.count(), 1);

    // The listener snaps through the level mapping; the widget must not do it first, or the
    // listener would never see the dead-sector angle it is meant to handle.
    dial.setAngle(-90);
    EXPECT_EQ(dial.angle(), -90);
    dial.setAngle(-180);
    EXPECT_EQ(dial.angle(), -180);
    dial.setAngle(180);
    EXPECT_EQ(dial.angle(), 180);
    EXPECT_EQ(spy.count(), 4);

    dial.setAngle(270);
    EXPECT_EQ(dial.angle(), -90);
}

TEST_F(DialWidgetTest, ListenerWritingBackASnappedAngleSettles)
{
    QObject::connect(&dial, &DialWidget::angleChanged, &dial, [this](int angle) {
        if (inDeadSector(angle))
            dial.setAngle(angle <= -90 ? DialWidget::kMinAngle : DialWidget::kMaxAngle);
    });
    dial.setAngle(0);
    dial.setAngle(-89);
    EXPECT_EQ(dial.angle(), DialWidget::kMaxAngle);
    EXPECT_EQ(spy.count(), 3);
}

TEST_F(DialWidgetTest, KeysMoveAlongTheTravelAndStopAtTheEnds)
{
    struct Case {
        int start;
        Qt::Key key;
        int expected;
    };
    const Case cases[] = {
        {-45, Qt::Key_Up, -45},
        {-45, Qt::Key_Right, -45},
        {-135, Qt::Key_Down, -135},
        {-135, Qt::Key_Left, -135},
        {-135, Qt::Key_Up, -136},
        {-46, Qt::Key_Right, -45},
        {180, Qt::Key_Up, 179},
        {179, Qt::Key_Down, 180},
        {-180, Qt::Key_Down, -179},
        {-180, Qt::Key_Up, 179},
        {-179, Qt::Key_Up, 180},
        {0, Qt::Key_Right, -1},
        {-1, Qt::Key_Left, 0},
        {90, Qt::Key_Up, 89},
        {90, Qt::Key_PageUp, 80},
        {90, Qt::Key_PageDown, 100},
        {-40, Qt::Key_PageUp, -45},
        {-130, Qt::Key_PageDown, -135},
        {175, Qt::Key_PageUp, 165},
        {-175, Qt::Key_PageUp, 175},
        {-175, Qt::Key_PageDown, -165},
        // A programmatic dead-sector angle moves from the end it counts as.
        {-100, Qt::Key_Down, -135},
        {-100, Qt::Key_Up, -136},
        {-60, Qt::Key_Up, -45},
        {-60, Qt::Key_Down, -44},
        {90, Qt::Key_Home, -135},
        {90, Qt::Key_End, -45},
        {-135, Qt::Key_Home, -135},
        {-45, Qt::Key_End, -45},
    };
    dial.show();
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "from " << c.start << " key " << c.key);
        startAt(c.start);
        QTest::keyClick(&dial, c.key);
        EXPECT_EQ(dial.angle(), c.expected);
        EXPECT_EQ(spy.count(), c.expected == c.start ? 0 : 1);
    }
}

TEST_F(DialWidgetTest, WheelTurnsByNotchesAndStopsAtTheEnds)
{
    struct Case {
        int start;
        std::vector<int> deltas;
        int expected;
    };
    const int notch = 120;
    const int step = DialWidget::kWheelStep;
    const Case cases[] = {
        {90, {notch}, 90 - step},
        {90, {-notch}, 90 + step},
        {90, {notch, notch}, 90 - 2 * step},
        {-43, {notch}, -45},
        {-45, {notch}, -45},
        {-133, {-notch}, -135},
        {-135, {-notch}, -135},
        {180, {notch}, 180 - step},
        {180, {-notch}, -180 + step},
        // A touchpad's parts of a notch add up to one notch.
        {90, {notch / 4, notch / 4, notch / 4, notch / 4}, 90 - step},
        {90, {notch / 8, notch / 8, notch / 4, notch / 2}, 90 - step},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "from " << c.start);
        DialWidget fresh; // no part of a notch left over from the case before
        QSignalSpy changes(&fresh, &DialWidget::angleChanged);
        fresh.setAngle(c.start);
        changes.clear();
        for (int delta : c.deltas)
            wheel(fresh, delta);
        EXPECT_EQ(fresh.angle(), c.expected);
        if (c.expected == c.start) {
            EXPECT_EQ(changes.count(), 0);
        }
    }
}

TEST_F(DialWidgetTest, InvertedWheelTurnsTheOtherWay)
{
    startAt(90);
    wheel(dial, 120, true);
    EXPECT_EQ(dial.angle(), 90 + DialWidget::kWheelStep);
}

// Only a vertical drag turns the knob, a degree a pixel (a fifth with Shift), up for more; a
// click alone changes nothing, and the knob never enters the dead sector.
TEST_F(DialWidgetTest, AVerticalDragTurnsTheKnobAndAClickDoesNot)
{
    struct Case {
        const char *name;
        int start;
        std::vector<int> ys; // press at the first, moves, release at the last
        Qt::KeyboardModifiers modifiers;
        int expected;
    };
    const Case cases[] = {
        {"a click", 90, {150}, Qt::NoModifier, 90},
        {"a click far from the knob's angle", -135, {10}, Qt::NoModifier, -135},
        {"up is more", 90, {150, 140, 120}, Qt::NoModifier, 60},
        {"down is less", 90, {150, 160, 180}, Qt::NoModifier, 120},
        {"fine with Shift", 90, {150, 140, 120}, Qt::ShiftModifier, 84},
        {"fine steps add up", 90, {150, 148, 146, 144, 142, 140}, Qt::ShiftModifier, 88},
        {"stops at the maximum", 0, {290, 0}, Qt::NoModifier, DialWidget::kMaxAngle},
        {"stops at the minimum", 0, {0, 290}, Qt::NoModifier, DialWidget::kMinAngle},
        {"and comes back", -135, {0, 290, 250}, Qt::NoModifier, -175},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        startAt(c.start);
        QTest::mousePress(&dial, Qt::LeftButton, c.modifiers, QPoint(50, c.ys.front()));
        for (size_t i = 1; i < c.ys.size(); ++i) {
            QMouseEvent move(QEvent::MouseMove, QPointF(50, c.ys[i]), dial.mapToGlobal(QPointF(50, c.ys[i])),
                             Qt::NoButton, Qt::LeftButton, c.modifiers);
            QCoreApplication::sendEvent(&dial, &move);
        }
        QTest::mouseRelease(&dial, Qt::LeftButton, c.modifiers, QPoint(50, c.ys.back()));
        EXPECT_EQ(dial.angle(), c.expected);
        if (c.ys.size() == 1) {
            EXPECT_EQ(spy.count(), 0);
        }
        for (const QList<QVariant> &emitted : spy)
            EXPECT_FALSE(inDeadSector(emitted.at(0).toInt())) << emitted.at(0).toInt();
    }
}

TEST_F(DialWidgetTest, EnterOrADoubleClickAsksToTypeTheValue)
{
    dial.show();
    QSignalSpy asked(&dial, &DialWidget::editRequested);
    startAt(90);
    QTest::keyClick(&dial, Qt::Key_Return);
    QTest::keyClick(&dial, Qt::Key_Enter);
    QTest::mouseDClick(&dial, Qt::LeftButton, Qt::NoModifier, QPoint(50, 150));
    EXPECT_EQ(asked.count(), 3);
    EXPECT_EQ(dial.angle(), 90);
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(DialWidgetTest, MovingWithoutPressingDoesNotTurnTheKnob)
{
    dial.setMouseTracking(true);
    startAt(90);
    QTest::mouseMove(&dial, pointAt(0));
    QTest::mousePress(&dial, Qt::RightButton, Qt::NoModifier, pointAt(0));
    QTest::mouseRelease(&dial, Qt::RightButton, Qt::NoModifier, pointAt(0));
    EXPECT_EQ(dial.angle(), 90);
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(DialWidgetTest, DisabledDialIgnoresInput)
{
    dial.show();
    startAt(90);
    dial.setEnabled(false);
    QTest::keyClick(&dial, Qt::Key_Up);
    QTest::keyClick(&dial, Qt::Key_PageDown);
    wheel(dial, 120);
    QTest::mousePress(&dial, Qt::LeftButton, Qt::NoModifier, pointAt(0));
    QTest::mouseMove(&dial, pointAt(-30));
    QTest::mouseRelease(&dial, Qt::LeftButton, Qt::NoModifier, pointAt(-30));
    EXPECT_EQ(dial.angle(), 90);
    EXPECT_EQ(spy.count(), 0);

    // The window still sets disabled dials from the pedal's values.
    dial.setAngle(0);
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(DialWidgetTest, TakesKeyboardFocusAndPaintsAtKnobSize)
{
    EXPECT_NE(dial.focusPolicy() & Qt::TabFocus, 0);
    EXPECT_NE(dial.focusPolicy() & Qt::ClickFocus, 0);
    const QSize hint = dial.sizeHint();
    EXPECT_GE(hint.width(), 40);
    EXPECT_GE(hint.height(), 40 + 8);

    // Painting at the smallest sizes and in the dead sector must not trip over geometry.
    dial.setValueText("1023");
    for (const QSize size : {QSize(40, 40), QSize(40, 52), QSize(1, 1), QSize(0, 0)}) {
        dial.resize(size);
        for (int angle : {-135, -90, 180, -180, 0, -45}) {
            dial.setAngle(angle);
            const QPixmap shot = dial.grab();
            EXPECT_EQ(shot.size(), size);
        }
    }
}

// The extent of what is painted in pure red, which only the value text is in these cases.
QRect redInk(const QImage &image)
{
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() - qMax(c.green(), c.blue()) > 60)
                ink |= QRect(x, y, 1, 1);
        }
    }
    return ink;
}

// The level under each knob is what the user reads while turning it: never smaller than text
// set at 10 px, whatever the font the dial inherits, and whole inside the size the dial asks
// for, which is the size the effect window gives it.
TEST(DialWidgetValueText, IsAtLeastTenPixelsAndFitsTheDialsOwnSize)
{
    struct Case {
        const char *name;
        QFont font;
    };
    const auto font = [](int pixels, qreal points) {
        QFont f(QStringLiteral("Arial"));
        if (pixels > 0)
            f.setPixelSize(pixels);
        else
            f.setPointSizeF(points);
        return f;
    };
    const Case cases[] = {
        {"the editor's 12 px font", font(12, 0)},
        {"a small pixel font", font(7, 0)},
        {"a small point font", font(0, 6)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // Wide enough text that a size short of 10 px shows as a few pixels of width.
        const QString wide = QStringLiteral("102310");
        QFont ten = c.font;
        ten.setPixelSize(10);
        QImage reference(200, 40, QImage::Format_ARGB32);
        reference.fill(Qt::white);
        {
            QPainter painter(&reference);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setFont(ten);
            painter.setPen(Qt::red);
            painter.drawText(reference.rect(), Qt::AlignHCenter | Qt::AlignTop, wide);
        }
        const QRect tenPixels = redInk(reference);
        ASSERT_FALSE(tenPixels.isEmpty());

        DialWidget dial;
        dial.setFont(c.font);
        // The dial's own sheet wins over any look an earlier test left on the application.
        dial.setStyleSheet(QStringLiteral("color: #ff0000; background-color: #ffffff; "
                                          "selection-background-color: #0000ff;"));
        dial.resize(dial.sizeHint());
        dial.setValueText(wide);
        const QRect drawn = redInk(dial.grab().toImage());
        ASSERT_FALSE(drawn.isEmpty()) << "no value text at the dial's own size";
        EXPECT_GE(drawn.width(), tenPixels.width() - 1); // a pixel for where the centring lands

        dial.setValueText(QStringLiteral("1023"));
        const QRect level = redInk(dial.grab().toImage());
        EXPECT_LT(level.bottom(), dial.height() - 1) << "cut off at the bottom";
        EXPECT_GT(level.left(), 0);
        EXPECT_LT(level.right(), dial.width() - 1);
    }
}

} // namespace

namespace {

// In every look the lit arc stands out from the unlit ring by 3:1, so that a knob's setting
// does not rest on colour alone.
TEST(DialWidgetLooks, TheLitArcStandsOutFromTheRingInEveryLook)
{
    const QString before = qApp->styleSheet();
    for (int look = 0; look < vadrelon::lookCount; ++look) {
        SCOPED_TRACE(look);
        const std::optional<QString> sheet = vadrelon::lookStyleSheet(vadrelon::lookName(look));
        ASSERT_TRUE(sheet);
        qApp->setStyleSheet(*sheet);
        DialWidget dial;
        dial.ensurePolished();
        const QPalette pal = dial.palette();
        const QColor ring = DialWidget::unlitRingColor(pal);
        EXPECT_GE(DialWidget::contrast(pal.color(QPalette::Highlight), ring), 3.0)
            << pal.color(QPalette::Highlight).name().toStdString() << " on " << ring.name().toStdString();
        EXPECT_GT(DialWidget::contrast(pal.color(QPalette::Window), ring), 1.2) << "the ring shows at all";
    }
    qApp->setStyleSheet(before);
}

} // namespace

// The keyboard's place shows: a focused knob is framed in the look's highlight, an unfocused
// one is not.
TEST(DialWidgetFocus, AFocusedKnobIsFramed)
{
    QWidget window;
    auto *dial = new DialWidget(&window);
    auto *other = new DialWidget(&window);
    dial->resize(dial->sizeHint());
    other->move(0, 100);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const QColor highlight = dial->palette().color(QPalette::Highlight);
    const auto edge = [&] { return dial->grab().toImage().pixelColor(dial->width() / 2, 1); };
    other->setFocus();
    EXPECT_NE(edge(), highlight);
    dial->setFocus();
    ASSERT_TRUE(dial->hasFocus());
    EXPECT_EQ(edge(), highlight);
}
