#pragma once
// The selected effect and the text resource loaded last, shared by the main window (which
// fills and clicks the effect list) and the effect settings window (which reads the
// addresses of the selected effect whenever it is shown).
#include <QString>
#include <QStringList>

namespace vadrelon {

struct ContentState {
    // The lines of the text resource loaded last: the catalogue after start-up, the selected
    // effect's image (one line) after a click.
    QStringList resourceLines;
    QString selectedEffectName;
    quint32 latestAlgorithmVersion = 0;
};

} // namespace vadrelon
