#pragma once

// Scheduling priority of the calling thread. On Linux priorities are per thread:
// idle is SCHED_IDLE, normal nice 0, lower nice +5, lowest nice +10. Threads the thread
// starts afterwards (a codec's worker threads, say) inherit it.
enum class TThreadPriority { Idle, Lowest, Lower, Normal };

namespace platform {

// False when the system refused (raising a priority needs privileges).
bool SetCurrentThreadPriority(TThreadPriority priority);

} // namespace platform
