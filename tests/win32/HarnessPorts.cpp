#include "tests/win32/HarnessPorts.h"

#include <cstdlib>

#include "platform/FileBytes.h"

namespace korvane::test {

std::string HarnessVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool SetModemState(unsigned tiocmBits, unsigned ringCount, unsigned carrierCount) {
  const std::string path = HarnessVariable("KORVANE_MODEM_STATE_WIN");
  if (path.empty()) {
    return false;
  }
  // cts dsr rng dcd, then rx tx frame overrun parity brk buf_overrun all 0.
  const std::string text = std::to_string(tiocmBits) + " 0 0 " + std::to_string(ringCount) + " " +
                           std::to_string(carrierCount) + " 0 0 0 0 0 0 0\n";
  return ReplaceFileBytes(path, text).Ok();
}

}  // namespace korvane::test
