#pragma once
// The selected effect and the text resource loaded last, kept by the pedal session: the
// effect a status reply names or the player clicks, whose image holds its parameters'
// addresses.
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
