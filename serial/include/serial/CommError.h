#pragma once

#include <string>
#include <system_error>

#include "platform/Texts.h"

namespace korvane {

// Failures of the serial component's own making; the system's failures keep
// the system's codes.
enum class TCommErrc {
  NotCommDevice = 1,  // the name opens something other than a serial device
  PortInUse,          // another program holds the port
  RateNotOffered,     // the platform has no such baud rate
  SettingsNotTaken,   // the port took the settings only in part
};

const std::error_category& CommCategory();
std::error_code make_error_code(TCommErrc error);

// The words of the component's own open failures (its PortOpenError and
// ECommsError texts), which are the catalogue's English.
std::string CommText(TextId id);
// The same failure as a catalogue text, so that a front end can say it in
// its own language; any other text is given back as it is.
std::string CommTextArg(const std::string& portOpenError);

}  // namespace korvane

template <>
struct std::is_error_code_enum<korvane::TCommErrc> : std::true_type {};
