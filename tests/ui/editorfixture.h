#pragma once
// The editor as main() builds it, against in-process virtual pedals, a scripted prompt and a
// temporary documents folder; the pauses and bounds of the exchanges run at a tenth of their
// time. Controls are found by their object names, as a person finds them by their captions.
#include "inprocessdriver.h"
#include "support/printers.h"
#include "support/scriptedprompt.h"
#include "virtualpedal.h"

#include "device/link.h"
#include "ui/updatecontroller.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace vadrelon {
class Editor;
class MainWindow;
class EffectWindow;
} // namespace vadrelon

namespace vadrelon::test {

class EditorFixture : public ::testing::Test {
public:
    EditorFixture();
    ~EditorFixture() override;

    // Attaches the pedals, then builds the editor (which scans at start-up).
    Editor &start(std::initializer_list<sim::VirtualPedal *> pedals);
    MainWindow &w();
    EffectWindow &fx();
    const QStringList &log() const;
    bool logHas(const QString &line) const;
    // Runs the event loop until cond holds or ms pass.
    static bool waitFor(const std::function<bool()> &cond, int ms = 3000);
    // Until the link has no exchange running.
    bool settle(int ms = 3000);
    // Link, and wait for the status exchange that follows.
    void link();
    // The editor on `pedal`, linked, with what the link sent and showed forgotten: a test then
    // sees only what its own command does.
    void linkAndClear();
    QStringList sent() const { return received(pedal); }
    // The messages the pedal received, as upper-case hex with blanks ("02 00").
    static QStringList received(const sim::VirtualPedal &pedal);

    // A control of any of the editor's windows, by its object name; fails the test if none.
    template <typename T>
    T *find(const char *name)
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (T *found = top->findChild<T *>(QString::fromLatin1(name)))
                return found;
        ADD_FAILURE() << "no control named " << name;
        return nullptr;
    }
    QAction *action(const char *name) { return find<QAction>(name); }
    void trigger(const char *name) { action(name)->trigger(); }
    void click(const char *name);
    bool enabled(const char *name);

    Timing timing;
    UpdateSettings updates; // no check at start-up unless a test asks for one
    QTemporaryDir docs;
    ScriptedPrompt prompt;
    sim::InProcessDriver driver;
    sim::VirtualPedal pedal;
    sim::VirtualPedal pedal2;
    std::unique_ptr<Editor> editor;
};

} // namespace vadrelon::test
