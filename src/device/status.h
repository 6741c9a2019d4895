#pragma once
// The pedal's status reply as the line carries it: 90 decimal values, each ended by CR LF,
// read strictly. What the values mean is the effect layer's (effect/pedalstatus.h).
#include "base/error.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vadrelon {

// A complete reply carries at least this many values (up to the last parameter byte).
constexpr int kStatusValueCount = 90;

// How far the bytes received so far make a status reply.
struct StatusReading {
    enum class State { NeedMore, Complete, Refused } state = State::NeedMore;
    QByteArray values;    // one byte per value read so far
    QByteArray following; // what came after the 90th value (and its CR LF), when complete
    Error error;          // why, when refused
};

// The bootloader's answers to a command: what a pedal waiting there says to a status request.
constexpr quint8 kBootloaderAckByte = 0x79;
constexpr quint8 kBootloaderNackByte = 0x1F;

// Reads the bytes of one reply as they have arrived so far. Each value is one to three
// decimal digits for a number from 0 to 255, ended by CR and an optional LF; the reply is
// complete at the 90th value, and whatever follows it is handed back, not judged. Anything
// else before that refuses the whole reply: a value that is not a plain number or out of
// range (GarbledReply), or a bootloader's lone ACK or NACK where the first value belongs
// (InBootloader).
StatusReading readStatusReply(const QByteArray &received);

// The console lines of a reply read whole: the counts, then one line per value.
QStringList statusTrace(const QByteArray &values);

} // namespace vadrelon
