#pragma once

#include <string>

#include "serial/PortIdentity.h"

namespace korvane::cli {

// The CLI's views of a port identity (serial/PortIdentity.h).

// One line of `korvane-cli ports`.
std::string PortLine(const PortIdentity& port);

// The identity as a JSON object.
std::string PortJson(const PortIdentity& port);
std::string UsbJson(const PortIdentity& port);

}  // namespace korvane::cli
