#pragma once
// The note-cut window: up to two notes from A2 to E3 for the pedal's note filter, sent with
// Save. Nothing in the editor shows it: its message begins with the same byte as the tuning
// message, so the editor keeps it built but out of reach.
#include "effect/notecut.h"

#include <QWidget>
#include <array>

class QCheckBox;

namespace vadrelon {

class ConsoleLog;
class PedalSession;

class NoteCutWindow : public QWidget {
    Q_OBJECT
public:
    NoteCutWindow(PedalSession &session, QWidget *parent = nullptr);

private:
    void updateNoteBoxes();
    void onSaveClicked();

    PedalSession &session_;
    ConsoleLog &log_;
    std::array<QCheckBox *, kNoteCutNotes> boxes_{};
};

} // namespace vadrelon
