#pragma once

// Owners for the Windows handles the serial sources hold, each closed by the
// call its kind needs (platform/UniqueHandle.h owns kernel HANDLEs).
// clang-format off
#include "WinApi.h"
#include <setupapi.h>
// clang-format on

#include "platform/UniqueHandle.h"

namespace korvane {

struct TRegKeyTraits {
  using Native = HKEY;
  static inline const HKEY kNone = nullptr;
  static bool IsValid(HKEY key) { return key != nullptr && key != INVALID_HANDLE_VALUE; }
  static bool Close(HKEY key) { return ::RegCloseKey(key) == ERROR_SUCCESS; }
};
// An open registry key.
using UniqueRegKey = TUniqueHandle<TRegKeyTraits>;

struct TDevInfoTraits {
  using Native = HDEVINFO;
  static inline const HDEVINFO kNone = INVALID_HANDLE_VALUE;
  static bool IsValid(HDEVINFO set) { return set != INVALID_HANDLE_VALUE && set != nullptr; }
  static bool Close(HDEVINFO set) { return ::SetupDiDestroyDeviceInfoList(set) != FALSE; }
};
// A device information set of the setup API.
using UniqueDevInfo = TUniqueHandle<TDevInfoTraits>;

struct TWindowTraits {
  using Native = HWND;
  static inline const HWND kNone = nullptr;
  static bool IsValid(HWND window) { return window != nullptr; }
  static bool Close(HWND window) { return ::DestroyWindow(window) != FALSE; }
};
// A window of this thread.
using UniqueWindow = TUniqueHandle<TWindowTraits>;

}  // namespace korvane
