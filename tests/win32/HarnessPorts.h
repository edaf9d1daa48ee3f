#pragma once

#include <string>

namespace korvane::test {

// The devices the Windows test harness puts on COM ports, named by the
// environment: KORVANE_ECHO_PORT (sends every byte back at once),
// KORVANE_STALL_PORT (never reads) and KORVANE_MODEM_STATE_WIN (the file whose
// numbers the pseudo-terminal's modem lines report: the TIOCM bits, then the
// line counters cts dsr rng dcd rx tx frame overrun parity brk buf_overrun).
// Empty when the variable is not set.
std::string HarnessVariable(const char* name);

// Replaces the modem state file in one step. False when it cannot be written.
bool SetModemState(unsigned tiocmBits, unsigned ringCount, unsigned carrierCount);

}  // namespace korvane::test
