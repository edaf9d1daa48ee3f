#pragma once

#include <termios.h>

#include <cstdint>

#include "platform/Result.h"

namespace korvane {

// The termios speed for a baud rate; TCommErrc::RateNotOffered for a rate
// termios has no constant for.
[[nodiscard]] TResult<speed_t> SpeedForRate(std::uint32_t baudRate);

// Sets the terminal's attributes now. tcsetattr succeeds when any part was
// taken, so the speed is read back: TCommErrc::SettingsNotTaken when it did
// not take.
[[nodiscard]] TStatus SetTerminalAttributes(int fd, const termios& wanted);

}  // namespace korvane
