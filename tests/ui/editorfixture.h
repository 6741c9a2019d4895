#pragma once
// The editor as main() builds it, against in-process virtual pedals, a scripted prompt and a
// temporary documents folder; waits run at a tenth of their time.
#include "inprocessdriver.h"
#include "support/scriptedprompt.h"
#include "virtualpedal.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace vadrelon {
class Editor;
class TformMain;
}

namespace vadrelon::test {

class EditorFixture : public ::testing::Test {
protected:
    EditorFixture();
    ~EditorFixture() override;

    // Attaches the pedals, then builds the editor (which scans at start-up).
    Editor &start(std::initializer_list<sim::VirtualPedal *> pedals);
    TformMain &w();
    const QStringList &log() const;
    bool logHas(const QString &line) const;
    // Runs the event loop until cond holds or ms pass.
    static bool waitFor(const std::function<bool()> &cond, int ms = 3000);
    // The messages the pedal received, as upper-case hex with blanks ("02 00").
    static QStringList received(const sim::VirtualPedal &pedal);

    QTemporaryDir docs;
    ScriptedPrompt prompt;
    sim::InProcessDriver driver;
    sim::VirtualPedal pedal;
    sim::VirtualPedal pedal2;
    std::unique_ptr<Editor> editor;
};

} // namespace vadrelon::test
