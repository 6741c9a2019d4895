#include "editorfixture.h"

#include "support/waitfor.h"
#include "ui/editor.h"
#include "ui/effectwindow.h"
#include "ui/mainwindow.h"

#include <QAbstractButton>
#include <QDeadlineTimer>
#include <QMenu>
#include <QTest>

namespace vadrelon::test {

EditorFixture::EditorFixture()
{
    timing.scale = 0.1;
    pedal2.serialNumber = "VP000002";
    pedal2.description = "Second pedal";
}

EditorFixture::~EditorFixture()
{
    editor.reset();
    qApp->setStyleSheet(QString());
}

Editor &EditorFixture::start(std::initializer_list<sim::VirtualPedal *> pedals)
{
    for (sim::VirtualPedal *p : pedals)
        driver.attach(p);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.15.0.0"));
    editor = std::make_unique<Editor>(driver, prompt, docs.path(), timing, updates);
    return *editor;
}

MainWindow &EditorFixture::w()
{
    return *editor->mainWindow;
}
EffectWindow &EditorFixture::fx()
{
    return editor->windows.effect();
}

const QStringList &EditorFixture::log() const
{
    return editor->session.log().lines();
}

bool EditorFixture::logHas(const QString &line) const
{
    return log().contains(line);
}

bool EditorFixture::waitFor(const std::function<bool()> &cond, int ms)
{
    return test::waitFor(cond, ms);
}

bool EditorFixture::settle(int ms)
{
    return waitFor([this] { return !editor->session.link().busy(); }, ms);
}

void EditorFixture::link()
{
    trigger("menuConnect");
    ASSERT_TRUE(settle());
    ASSERT_TRUE(editor->session.link().isLinked()) << prompt.messages.join('|').toStdString();
}

void EditorFixture::linkAndClear()
{
    start({&pedal});
    link();
    pedal.clearReceived();
    prompt.messages.clear();
}

void EditorFixture::click(const char *name)
{
    auto *button = find<QAbstractButton>(name);
    ASSERT_TRUE(button);
    ASSERT_TRUE(button->isEnabled()) << name << " is disabled";
    button->click();
}

bool EditorFixture::enabled(const char *name)
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *a = top->findChild<QAction *>(QString::fromLatin1(name)))
            return a->isEnabled();
        if (auto *wdg = top->findChild<QWidget *>(QString::fromLatin1(name)))
            return wdg->isEnabled();
    }
    ADD_FAILURE() << "no control named " << name;
    return false;
}

QStringList EditorFixture::received(const sim::VirtualPedal &pedal)
{
    QStringList out;
    for (const sim::ReceivedMessage &m : pedal.received())
        out << QString::fromLatin1(m.bytes.toHex(' ').toUpper());
    return out;
}

} // namespace vadrelon::test
