#include "tools/cli/Interrupt.h"

#include <csignal>

namespace korvane::cli {
namespace {

extern "C" void OnInterrupt(int signal) {
  RaiseInterrupt(signal);
}

}  // namespace

void InstallInterruptHandlers() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // a wait in progress runs on to its end
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace korvane::cli
