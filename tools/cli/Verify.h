#pragma once

#include <string>
#include <vector>

#include "model/CodeTable.h"

namespace korvane::cli {

// The Code of a difference in the baud rate (the JSON documents carry it as is).
inline constexpr const char* kBaudRateDifference = "baud rate";

struct CodeDifference {
  std::string Code;      // "IO2 ButtonDownSend3", or kBaudRateDifference
  std::string Expected;  // what the device should report
  std::string Actual;    // what it reported
};

// The text a device that stored `text` reports on read-back: upper-case hex
// of exactly the bytes the image holds for it.
std::string ExpectedDeviceText(const std::string& text);

// Compares a device's read-back with the code set and the baud index it was
// given, code by code.
std::vector<CodeDifference> CompareWithDevice(const CodeTable& expected, int expectedBaud,
                                              const CodeTable& actual, int actualBaud);

}  // namespace korvane::cli
