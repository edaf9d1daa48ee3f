#include "cli/StationSlots.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli/PortSelection.h"

namespace fs = std::filesystem;

namespace korvane::cli {
namespace {

constexpr const char* kEveryPort = "all";

bool AnyMatch(const std::vector<std::string>& filters, const PortIdentity& port) {
  return std::any_of(filters.begin(), filters.end(),
                     [&](const std::string& filter) { return PortArgumentMatches(filter, port); });
}

std::string JoinFilters(const std::vector<std::string>& filters, Language language) {
  std::string text;
  for (const std::string& filter : filters) {
    text = text.empty() ? filter : Text(TextId::kCliFilterOr, language, {text, filter});
  }
  return text;
}

}  // namespace

// The slot a port belongs to: its physical location where the listing knows one.
std::string StationLocationKey(const PortIdentity& port) {
  // A USB adapter's place on the bus stays when the unit behind it changes
  // its device node; other ports are known by their path.
  return port.Location.empty() ? port.Path : "path=" + port.Location;
}

std::string DeviceInstance(const PortIdentity& port) {
  std::error_code error;
  const fs::path target = fs::weakly_canonical(port.Path, error);
  return error ? port.Path : target.string();
}

std::vector<std::string> ConsoleNames(const std::string& kernelCommandLine) {
  std::vector<std::string> names;
  std::istringstream words(kernelCommandLine);
  std::string word;
  const std::string prefix = "console=";
  while (words >> word) {
    if (word.rfind(prefix, 0) == 0) {
      const std::string value = word.substr(prefix.size());
      names.push_back(value.substr(0, value.find(',')));
    }
  }
  return names;
}

TSlotTable::TSlotTable(std::vector<std::string> ports, std::vector<std::string> matches,
                       bool includeVirtual, std::vector<std::string> consoles, Language language)
    : ports_(std::move(ports)),
      matches_(std::move(matches)),
      includeVirtual_(includeVirtual),
      consoles_(std::move(consoles)),
      language_(language) {
  for (const std::string& port : ports_) {
    if (port != kEveryPort) {
      slots_.push_back({static_cast<int>(slots_.size()) + 1, port, {}, {}, {}, {}});
    }
  }
}

bool TSlotTable::TakesEveryPort() const {
  return std::find(ports_.begin(), ports_.end(), kEveryPort) != ports_.end();
}

// A port that `all` or a --match filter may make a slot of.
bool TSlotTable::Eligible(const PortIdentity& port) const {
  if (std::find(consoles_.begin(), consoles_.end(), port.Name) != consoles_.end()) {
    return false;
  }
  if (TakesEveryPort()) {
    return !port.Virtual || includeVirtual_;
  }
  return ports_.empty() && AnyMatch(matches_, port);
}

bool TSlotTable::Accepted(const PortIdentity& port) const {
  return matches_.empty() || AnyMatch(matches_, port);
}

bool TSlotTable::Claimed(const PortIdentity& port) const {
  const std::string key = StationLocationKey(port);
  return std::any_of(slots_.begin(), slots_.end(), [&](const Slot& slot) {
    return slot.Key.empty() ? PortArgumentMatches(slot.Label, port) : slot.Key == key;
  });
}

void TSlotTable::Place(Slot& slot, const std::vector<PortIdentity>& listed) const {
  slot.Device.reset();
  slot.Instance.clear();
  slot.Refused.clear();
  for (const PortIdentity& port : listed) {
    const bool here = slot.Key.empty() ? PortArgumentMatches(slot.Label, port)
                                       : StationLocationKey(port) == slot.Key;
    if (!here) {
      continue;
    }
    if (!Accepted(port)) {
      slot.Refused =
          Text(TextId::kCliNoMatch, language_, {port.Name, JoinFilters(matches_, language_)});
      return;
    }
    slot.Device = port;
    slot.Instance = DeviceInstance(port);
    return;
  }
}

void TSlotTable::Update(const std::vector<PortIdentity>& listed) {
  for (const PortIdentity& port : listed) {
    if (Eligible(port) && !Claimed(port)) {
      slots_.push_back(
          {static_cast<int>(slots_.size()) + 1, port.Name, StationLocationKey(port), {}, {}, {}});
    }
  }
  for (Slot& slot : slots_) {
    Place(slot, listed);
  }
}

}  // namespace korvane::cli
