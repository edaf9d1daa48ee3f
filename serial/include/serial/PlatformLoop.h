#pragma once

// The user-interface loop of programs without a toolkit: the Windows message
// queue on Windows, the plain notice queue elsewhere.
#ifdef _WIN32
#include "serial/MessageLoop.h"
namespace korvane {
using TPlatformLoop = TMessageLoop;
}
#else
#include "serial/PlainLoop.h"
namespace korvane {
using TPlatformLoop = TPlainLoop;
}
#endif
