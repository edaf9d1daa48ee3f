#pragma once

// <windows.h> for the Windows sources, without its min/max macros and rarely
// used parts. The shared headers use none of its macro names, so the order of
// includes does not matter.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace korvane {

// Which of the first `indices` wait outcomes ended a wait (WAIT_OBJECT_0 + i
// gives i; for MsgWaitForMultipleObjects the message queue is the last index),
// or -1 for a failure, a timeout or an abandoned object.
[[nodiscard]] inline int SignalledIndex(DWORD result, DWORD indices) {
  const DWORD index = result - WAIT_OBJECT_0;
  return index < indices ? static_cast<int>(index) : -1;
}

}  // namespace korvane
