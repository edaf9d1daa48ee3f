#include "platform/UniqueHandle.h"

#include <windows.h>

namespace korvane {

bool TWin32HandleTraits::Close(void* handle) {
  return ::CloseHandle(handle) != 0;
}

}  // namespace korvane
