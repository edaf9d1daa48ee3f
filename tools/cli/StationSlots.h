#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "cli/PortIdentity.h"
#include "platform/Texts.h"

namespace korvane::cli {

// What tells one place on the bench from another: the key a slot keeps for
// the whole run. Two identical adapters differ here and nowhere else.
std::string StationLocationKey(const PortIdentity& port);

// The device node a port's path leads to now: a unit swapped between two
// listings (a simulator started anew) usually leads elsewhere.
std::string DeviceInstance(const PortIdentity& port);

// The port names the kernel command line gives as the system console
// (console=ttyS0,115200n8 gives ttyS0); a station never takes them.
std::vector<std::string> ConsoleNames(const std::string& kernelCommandLine);

// A programming station's slots: one per --port argument, in their order,
// then one per further location that `--port all` or a --match filter (with no
// --port naming one place) takes, numbered as they first appear. A slot's
// number never changes during a run. A device at a slot that does not match
// the --match filters is refused, not programmed.
class TSlotTable {
 public:
  struct Slot {
    int Number = 0;
    std::string Label;                   // the --port argument, or the port's name
    std::string Key;                     // location key of a slot found by all/--match
    std::optional<PortIdentity> Device;  // the accepted device present now
    std::string Instance;                // what the device's path leads to now
    std::string Refused;                 // why the device present now is not taken
  };

  // `language`: the one that refusals are said in.
  TSlotTable(std::vector<std::string> ports, std::vector<std::string> matches, bool includeVirtual,
             std::vector<std::string> consoles, Language language);

  // Takes a fresh listing of the ports: adds the slots of new locations and
  // sets what is present at each slot.
  void Update(const std::vector<PortIdentity>& listed);

  const std::deque<Slot>& Slots() const { return slots_; }

 private:
  bool TakesEveryPort() const;
  bool Eligible(const PortIdentity& port) const;
  bool Accepted(const PortIdentity& port) const;
  bool Claimed(const PortIdentity& port) const;
  void Place(Slot& slot, const std::vector<PortIdentity>& listed) const;

  std::vector<std::string> ports_;
  std::vector<std::string> matches_;
  bool includeVirtual_;
  std::vector<std::string> consoles_;
  Language language_;
  std::deque<Slot> slots_;  // stable addresses: slot threads keep references
};

}  // namespace korvane::cli
