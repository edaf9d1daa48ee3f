#include "platform/Interrupt.h"

#include <windows.h>

namespace korvane {
namespace {

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (InterruptSignal() != 0) {
    return FALSE;  // a second request: the default handler ends the process
  }
  RaiseInterrupt(event == CTRL_C_EVENT ? kSignalInterrupt : kSignalTerminate);
  return TRUE;
}

}  // namespace

void InstallInterruptHandlers() {
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

}  // namespace korvane
