#pragma once
// The note filter: up to two notes from A2 to E3 that the pedal leaves out of its tracking.
#include "effect/messages.h"

#include <array>

namespace vadrelon {

// A2, A#2, B2, C3, C#3, D3, D#3, E3: a note's code on the pedal is its place in this row.
constexpr int kNoteCutNotes = 8;
// The pedal takes no more notes than this; further checked notes are not sent.
constexpr int kNoteCutMaxNotes = 2;

// "09", then the codes of the first two checked notes, lowest first (FF for each note not
// given), with its trace: "byte 1: ", "byte 2: ", "Set note filters: " and the length, 3.
TracedMessage buildNoteFilterMessage(const std::array<bool, kNoteCutNotes> &checked);

} // namespace vadrelon
