#pragma once

namespace korvane {

inline constexpr int kSignalInterrupt = 2;   // SIGINT, Ctrl-C
inline constexpr int kSignalTerminate = 15;  // SIGTERM; on Windows a closing console

// From now on SIGINT and SIGTERM (Ctrl-C, Ctrl-Break and a closing console on
// Windows) no longer end the process: they are recorded, and each device
// operation ends at its next wait. A second one ends the process at once.
// Call before any thread is started.
void InstallInterruptHandlers();

// The first interrupt received, or 0.
int InterruptSignal();

// Records an interrupt as the handlers do (tests).
void RaiseInterrupt(int signal);

}  // namespace korvane
