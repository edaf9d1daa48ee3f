#pragma once

namespace korvane {

// The driver's interrupt counters of a serial line.
struct TLineCounters {
  int Errors[5] = {};  // frame, parity, overrun, buffer overrun, break
  int Carrier = 0;
  int Ring = 0;
};

// False where the system or the device keeps no counters (a pseudo-terminal
// keeps none). Each system with counters has its own implementation.
[[nodiscard]] bool ReadLineCounters(int fd, TLineCounters& counters);

}  // namespace korvane
