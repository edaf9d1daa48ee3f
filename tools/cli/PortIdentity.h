#pragma once

#include <string>

#include "cli/Json.h"
#include "serial/PortIdentity.h"

namespace korvane::cli {

// The CLI's views of a port identity (serial/PortIdentity.h).

// One line of `korvane-cli ports`.
std::string PortLine(const PortIdentity& port);

// The identity as a JSON object.
Json PortJson(const PortIdentity& port);
Json UsbJson(const PortIdentity& port);  // null for a port that is no USB adapter

}  // namespace korvane::cli
