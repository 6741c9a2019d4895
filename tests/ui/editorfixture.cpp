#include "editorfixture.h"

#include "support/waits.h"
#include "ui/editor.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTest>

namespace vadrelon::test {

EditorFixture::EditorFixture()
{
    setWaitScale(0.1);
    pedal2.serialNumber = "VP000002";
    pedal2.description = "Second pedal";
}

EditorFixture::~EditorFixture()
{
    editor.reset();
    qApp->setStyleSheet(QString());
    setWaitScale(1.0);
}

Editor &EditorFixture::start(std::initializer_list<sim::VirtualPedal *> pedals)
{
    for (sim::VirtualPedal *p : pedals)
        driver.attach(p);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.15.0.0"));
    editor = std::make_unique<Editor>(driver, prompt, docs.path());
    return *editor;
}

TformMain &EditorFixture::w() { return *editor->formMain; }

const QStringList &EditorFixture::log() const { return editor->log.lines(); }

bool EditorFixture::logHas(const QString &line) const { return log().contains(line); }

bool EditorFixture::waitFor(const std::function<bool()> &cond, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!cond()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

QStringList EditorFixture::received(const sim::VirtualPedal &pedal)
{
    QStringList out;
    for (const sim::ReceivedMessage &m : pedal.received())
        out << QString::fromLatin1(m.bytes.toHex(' ').toUpper());
    return out;
}

} // namespace vadrelon::test
