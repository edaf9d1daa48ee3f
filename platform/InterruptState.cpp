#include <atomic>

#include "platform/Interrupt.h"

namespace korvane {
namespace {
// Lock-free, so the signal handler may store into it.
std::atomic<int> gInterrupt{0};
static_assert(std::atomic<int>::is_always_lock_free);
}  // namespace

int InterruptSignal() {
  return gInterrupt.load();
}

void RaiseInterrupt(int signal) {
  int none = 0;
  gInterrupt.compare_exchange_strong(none, signal);
}

}  // namespace korvane
