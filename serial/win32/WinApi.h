#pragma once

// <windows.h> for the Windows sources. Include it after the project's own
// headers: it defines the serial API's names (EV_RLSD, PURGE_TXABORT ...) as
// macros, and CreateEvent as a macro that would rename the backend's method.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#undef CreateEvent
