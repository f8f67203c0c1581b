#pragma once

namespace duskmend {

// The requests of the system to end the program: SIGINT, SIGTERM and SIGHUP on POSIX
// systems; Ctrl+C, Ctrl+Break and a closed console on Windows. They are caught, so that a
// running pass can stop as the exit command stops it. A file-size limit fails the write
// that passes it instead of killing the program.
namespace stop_signals {

// Once, at the start of the program.
void Install();
// The number of the first signal that asked the program to end, or 0.
int Caught();
// A descriptor that becomes readable when such a signal comes, for an event loop to watch;
// -1 where there is none.
int WakeDescriptor();
// Empties that descriptor again, once its event has been seen.
void DrainWake();

}  // namespace stop_signals
}  // namespace duskmend
