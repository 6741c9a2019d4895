#pragma once
// The edits made in the effect window and the presets loaded, as steps that can be undone and
// redone, and Compare, which lets the player hear the stored values against the edited ones.
// An undone step reaches the pedal exactly as a player's change does, every value exact; a
// list that only sets what a later command sends (the tuning, the assignments) goes back
// without a message, as it came.
#include "content/preset.h"

#include <QObject>
#include <QPointer>
#include <QUndoStack>

class QAction;
class QComboBox;

namespace vadrelon {

class PedalSession;

class EditHistory : public QObject {
    Q_OBJECT
public:
    // Changes of one knob closer together than this are one step.
    static constexpr int kRunGapMs = 500;

    explicit EditHistory(PedalSession &session, QObject *parent = nullptr);

    // Undo and Redo name their step ("Undo Dry 50.0 %"); Compare is checked while the pedal
    // plays the stored values. Each window that offers them adds them to itself.
    QAction *undoAction() const { return undo_; }
    QAction *redoAction() const { return redo_; }
    QAction *compareAction() const { return compare_; }
    const QUndoStack &steps() const { return stack_; }

    // True while an undo or redo changes the controls: what changes then is not a new step.
    bool replaying() const { return replaying_; }
    // Steps can be taken only while the pedal can take live changes.
    void setAvailable(bool available);

    // A value the player sent, as the pedal reports it. A knob's change joins the step
    // before when that was the same knob turned less than kRunGapMs ago, or still being
    // dragged in the same drag.
    // drag numbers the drag the change is part of (0: none).
    void recordValue(int parameter, const QString &caption, quint32 before, quint32 after, bool knob = false,
                     int drag = 0);
    // A preset loaded: one step over every value it changed.
    void recordValues(const QString &text, const PresetValues &before, const PresetValues &after);
    void recordBypass(bool before, bool after);
    // A list whose choice goes to the pedal only with a later command.
    void recordChoice(QComboBox *list, const QString &caption, int before, int after);

signals:
    // An undo or redo changed the session's values or the bypass: the controls should show
    // them.
    void applied();

private:
    friend class ValuesStep;
    friend class BypassStep;
    friend class ChoiceStep;
    void push(QUndoCommand *step);
    void step(bool undo);
    void updateActions();

    PedalSession &session_;
    QUndoStack stack_;
    QAction *undo_;
    QAction *redo_;
    QAction *compare_;
    bool available_ = false;
    bool replaying_ = false;
};

} // namespace vadrelon
