#pragma once

#include <array>
#include <string_view>

namespace korvane {

// The control baud rates the device offers, in the order of the baud index
// that the configuration image stores.
inline constexpr std::array<std::string_view, 5> kBaudRates = {"4800", "9600", "19200", "57600",
                                                               "115200"};

// The rate for a baud index; "none" for any other index.
constexpr std::string_view BaudRateText(int index) {
  return index >= 0 && index < static_cast<int>(kBaudRates.size())
             ? kBaudRates[static_cast<std::size_t>(index)]
             : "none";
}

// The baud index of a rate written as text; -1 when the device has no such rate.
constexpr int BaudIndexOf(std::string_view rate) {
  for (std::size_t i = 0; i < kBaudRates.size(); ++i) {
    if (kBaudRates[i] == rate) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace korvane
