#include "Termios.h"

#include <string>

#include "serial/CommError.h"

namespace korvane {

TResult<speed_t> SpeedForRate(std::uint32_t baudRate) {
  switch (baudRate) {
    case 1200:
      return speed_t{B1200};
    case 2400:
      return speed_t{B2400};
    case 4800:
      return speed_t{B4800};
    case 9600:
      return speed_t{B9600};
    case 19200:
      return speed_t{B19200};
    case 38400:
      return speed_t{B38400};
    case 57600:
      return speed_t{B57600};
    case 115200:
      return speed_t{B115200};
    case 230400:
      return speed_t{B230400};
    case 460800:
      return speed_t{B460800};
    case 921600:
      return speed_t{B921600};
    default:
      return TError{TCommErrc::RateNotOffered,
                    "baud rate " + std::to_string(baudRate) + " is not offered"};
  }
}

TStatus SetTerminalAttributes(int fd, const termios& wanted) {
  if (::tcsetattr(fd, TCSANOW, &wanted) != 0) {
    return LastSystemError("the port refused its line settings");
  }
  termios taken{};
  if (::tcgetattr(fd, &taken) != 0) {
    return LastSystemError("cannot read the port's line settings back");
  }
  if (::cfgetospeed(&taken) != ::cfgetospeed(&wanted) ||
      ::cfgetispeed(&taken) != ::cfgetispeed(&wanted)) {
    return TError{TCommErrc::SettingsNotTaken, "the port did not take the baud rate"};
  }
  return {};
}

}  // namespace korvane
