#pragma once

#include <string>

namespace korvane {

// True while a program of ours has the port `commName` open. Windows: each
// open port is marked by a named mutex, since some systems (Wine among them)
// let a second program open a port. POSIX: the port's advisory lock is held;
// the check opens the device briefly, without taking it.
[[nodiscard]] bool IsPortClaimed(const std::string& commName);

}  // namespace korvane
