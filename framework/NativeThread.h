#pragma once

// The system's own side of a thread: its id and its scheduling priority.

#include <q4471/framework/Thread.h>

namespace q4471 {

// The calling thread's id as the system knows it; never 0.
int CurrentNativeThreadId();

// Gives the thread with that id the priority. Raising a priority needs privileges on some
// systems, so a refusal is ignored: the thread runs on at the priority it had.
void SetNativeThreadPriority(int nativeId, TThreadPriority priority);

} // namespace q4471
