#pragma once
// Waits that keep the window alive: each one runs a nested event loop that a timer (and, for
// the waits on the pedal, the driver's "bytes arrived") ends. None of them spins the processor.
#include <QObject>

namespace vadrelon {

// Scales every fixed wait and every bound; tests shorten them here instead of at each wait.
void setWaitScale(double scale);
double waitScale();

// The fixed pauses between device operations (10 … 4000 ms).
void WaitMs(int ms);

// Runs the event loop until `wake` emits `signal` or `ms` pass; true when woken by the signal.
template <typename Sender, typename Signal>
bool WaitForSignal(const Sender *wake, Signal signal, int ms);

} // namespace vadrelon

#include "support/waits_impl.h"
