#pragma once
// The blocks of the pedal's status reply that belong to the effect, decoded without touching
// a window. StatusValues is given as one byte per entry; a block that does not fit in it is
// refused (nothing) instead of being read past the end.
#include "effect/messages.h"
#include "effect/parameters.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace vadrelon {

// Sixteen big-endian 32-bit values in block order, and their console listing.
struct ParameterBlock {
    std::array<quint32, kParameterCount> values{};
    QStringList trace; // "Dry: \t003FC000" ...
};
std::optional<ParameterBlock> decodeParameterBlock(const QByteArray &status, int offset);

struct FootswitchDecode {
    quint16 mode = 0;                         // becomes FootswitchMode
    std::optional<FootswitchButtons> buttons; // nothing for a mode above 3: leave them
    QString trace;                            // "Footswitch Mode: <decimal>"
};
// The radio states of a mode byte (2 x short-press code + long-press code).
std::optional<FootswitchButtons> footswitchButtonsForMode(int mode);
std::optional<FootswitchDecode> decodeFootswitchMode(const QByteArray &status, int offset);

// The entry each control list is to select, in the order I, II, III, IV, Remote; nothing
// keeps the list as it is.
struct AssignmentDecode {
    std::array<std::optional<int>, kControlCount> entries;
};
// Reads the five flags and five addresses, and marks as isAssigned exactly the assignable
// parameters that a flagged control carries. Addresses are compared only once the header has
// been read, so that the placeholder 0xFFFF never passes for a parameter.
std::optional<AssignmentDecode> decodeAssignments(const QByteArray &status, int offset, ParameterSet &set);

struct TuningDecode {
    quint8 tuningByte = 0;
    qint8 semitone = 0;
    // Entries of the tuning and semitone lists (index = semitone + 5); nothing for a byte
    // outside the lists, and then neither the list nor the effect state should change.
    std::optional<int> tuningIndex;
    std::optional<int> semitoneIndex;
    QStringList trace; // "Current Tuning: <decimal>", "Semitones variation: <2 hex digits>"
};
std::optional<TuningDecode> decodeTuning(const QByteArray &status, int offset);

} // namespace vadrelon
