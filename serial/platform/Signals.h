#pragma once

// The system's signals: set or clear, waited for alone, in a list, or beside a device (the stop
// and cancel signals that ICommSystem's waits watch). TVaEvent owns one each.

#include <q4471/serial/SignalHandle.h>

#include <cstdint>
#include <span>

namespace SerialPlatform {

// A new signal; an invalid handle with the error in GetLastError when the system has none to
// give.
TSignalHandle CreateSignal(bool manualReset, bool initiallySet);
// Frees the signal; nothing for an invalid handle.
void CloseSignal(TSignalHandle signal);
// Setting a set signal and clearing a clear one change nothing.
void SetSignal(TSignalHandle signal);
void ResetSignal(TSignalHandle signal);

// Waits up to `timeoutMs` milliseconds (NoTimeLimit: none) until one of `waited` is set.
// Answers the position of the signal that ended the wait: the earliest in the list when several
// are set; an auto-reset signal is cleared only when it is the one chosen. waited.size() when
// the time ran out; -1 when the wait failed (an empty list, an invalid handle), with the error in
// GetLastError.
int WaitForSignals(std::span<const TSignalHandle> waited, uint32_t timeoutMs);

} // namespace SerialPlatform
