#include "cli/PortSelection.h"

#include "cli/Commands.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

namespace korvane::cli {
namespace {

#ifdef _WIN32
constexpr const char* kPathSeparators = "/\\";
#else
constexpr const char* kPathSeparators = "/";
#endif

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The device a path finally names, so that links and aliases compare equal.
std::string DeviceKey(const std::string& path) {
  std::error_code error;
  const fs::path canonical = fs::weakly_canonical(path, error);
  std::string key = error ? path : canonical.string();
#ifdef _WIN32
  return Lower(key);  // COM names are not case-sensitive
#else
  return key;
#endif
}

bool Matches(const PortIdentity& port, const std::string& key, const std::string& value) {
  if (key == "path") {
    return !port.Location.empty() && Lower(port.Location) == Lower(value);
  }
  if (!port.Usb) {
    return false;
  }
  if (key == "serial") {
    return port.Usb->Serial == value;
  }
  return Lower(port.Usb->Vid + ":" + port.Usb->Pid) == Lower(value);
}

std::string Describe(const PortIdentity& port) {
  std::string text = port.Name;
  // Named by the filters that would pick it, in any language.
  if (port.Usb) {
    text += " vid:pid=" + port.Usb->Vid + ":" + port.Usb->Pid;
    if (!port.Usb->Serial.empty()) {
      text += " serial=" + port.Usb->Serial;
    }
  }
  if (!port.Location.empty()) {
    text += " path=" + port.Location;
  }
  return text;
}

// The ports for a message; empty for none.
std::string Candidates(const std::vector<const PortIdentity*>& ports) {
  std::string text;
  for (const PortIdentity* port : ports) {
    text += (text.empty() ? "" : ", ") + Describe(*port);
  }
  return text;
}

// `serial=...`, `vid:pid=...` and `path=...`; nullopt for anything else.
std::optional<std::pair<std::string, std::string>> ParseFilter(const std::string& argument) {
  const std::size_t equals = argument.find('=');
  if (equals == std::string::npos) {
    return std::nullopt;
  }
  const std::string key = Lower(argument.substr(0, equals));
  if (key != "serial" && key != "vid:pid" && key != "path") {
    return std::nullopt;
  }
  return std::pair{key, argument.substr(equals + 1)};
}

TStatus SelectByFilter(const std::string& argument, const std::string& key,
                       const std::string& value, const std::vector<PortIdentity>& listed,
                       PortSelection& selection) {
  std::vector<const PortIdentity*> matching;
  std::vector<const PortIdentity*> all;
  for (const PortIdentity& port : listed) {
    all.push_back(&port);
    if (Matches(port, key, value)) {
      matching.push_back(&port);
    }
  }
  if (matching.size() == 1) {
    selection.Targets.push_back({argument, "//./" + matching.front()->Name, *matching.front()});
    return {};
  }
  if (matching.empty()) {
    return all.empty() ? MakeError(TextId::kCliNoPortListed, {argument})
                       : MakeError(TextId::kCliPortMatchesNone, {argument, Candidates(all)});
  }
  return MakeError(TextId::kCliPortMatchesMany,
                   {argument, std::to_string(matching.size()), Candidates(matching)});
}

PortTarget TargetFor(const std::string& argument, const std::vector<PortIdentity>& listed) {
  const bool isPath = argument.find_first_of(kPathSeparators) != std::string::npos;
  const std::string path = isPath ? argument : DevicePathForCommName("//./" + argument);
  for (const PortIdentity& port : listed) {
    if (port.Name == argument || (isPath && DeviceKey(port.Path) == DeviceKey(path))) {
      PortIdentity identity = port;
      identity.Path = path;
      return {argument, isPath ? argument : "//./" + argument, identity};
    }
  }
  PortIdentity identity;
  identity.Name = argument;
  identity.Path = path;
  return {argument, isPath ? argument : "//./" + argument, identity};
}

}  // namespace

TResult<PortSelection> SelectPorts(const std::vector<std::string>& arguments,
                                   const std::vector<PortIdentity>& listed) {
  PortSelection selection;
  for (const std::string& argument : arguments) {
    if (const auto filter = ParseFilter(argument)) {
      if (TStatus found =
              SelectByFilter(argument, filter->first, filter->second, listed, selection);
          !found) {
        return found.Error();
      }
    } else {
      selection.Targets.push_back(TargetFor(argument, listed));
    }
  }
  const std::vector<PortTarget>& targets = selection.Targets;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (DeviceKey(targets[i].Identity.Path) == DeviceKey(targets[j].Identity.Path)) {
        return MakeError(TextId::kCliPortsSameDevice, {targets[j].Label, targets[i].Label});
      }
    }
  }
  return selection;
}

int SelectionExit(const TError& error) {
  return error.Id == TextId::kCliPortsSameDevice ? kExitUsage : kExitPort;
}

bool PortArgumentMatches(const std::string& argument, const PortIdentity& port) {
  if (const auto filter = ParseFilter(argument)) {
    return Matches(port, filter->first, filter->second);
  }
  if (port.Name == argument) {
    return true;
  }
  return argument.find_first_of(kPathSeparators) != std::string::npos &&
         DeviceKey(port.Path) == DeviceKey(argument);
}

}  // namespace korvane::cli
