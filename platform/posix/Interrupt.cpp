#include "platform/Interrupt.h"

#include <pthread.h>

#include <csignal>
#include <cstdlib>
#include <thread>

namespace korvane {

// The two signals are blocked in every thread and taken by one watcher thread
// with sigwait, so no wait or read of the port workers is ever cut short by
// EINTR: the operations notice the request at their next wait. A second
// signal ends the program at once, for an operator who must not wait.
void InstallInterruptHandlers() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // threads started later inherit it
  std::thread([signals] {
    for (;;) {
      int signal = 0;
      if (sigwait(&signals, &signal) != 0) {
        return;
      }
      if (InterruptSignal() != 0) {
        std::_Exit(128 + signal);
      }
      RaiseInterrupt(signal);
    }
  }).detach();
}

}  // namespace korvane
