#include <KorvaneVersion.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/PortDiagnosis.h"

using namespace korvane::cli;

namespace {

// The command named on the line, for pointing a usage error at its help.
std::string HelpHint(const std::vector<std::string>& arguments) {
  for (const std::string name : {"ports", "write", "read", "image", "verify", "station"}) {
    if (arguments.size() > 1 && arguments[1] == name) {
      return "korvane-cli " + name + " --help";
    }
  }
  return "korvane-cli --help";
}

int Run(const std::vector<std::string>& arguments) {
  std::string error;
  const auto options = ParseCommandLine(arguments, error);
  if (!options) {
    std::cerr << "korvane-cli: " << error << "\n"
              << "Run '" << HelpHint(arguments) << "' for usage.\n";
    return kExitUsage;
  }
  if (options->Action == Command::Help || options->HelpRequested) {
    std::cout << HelpText(options->Action);
    return kExitSuccess;
  }
  switch (options->Action) {
    case Command::Version:
      std::cout << "korvane-cli " << KORVANE_VERSION << "\n";
      return kExitSuccess;
    case Command::Ports:
      return RunPorts(*options, std::cout, std::cerr);
    case Command::Write:
      return RunWrite(*options, std::cout, std::cerr);
    case Command::Read:
      return RunRead(*options, std::cout, std::cerr);
    case Command::Image:
      return RunImage(*options, std::cout, std::cerr);
    case Command::Verify:
      return RunVerify(*options, std::cout, std::cerr);
    case Command::Station:
      return RunStation(*options, std::cout, std::cerr);
    case Command::Help:
      break;
  }
  return kExitSuccess;
}

}  // namespace

int main(int argc, char** argv) {
  PrepareConsole();
  // The last resort: whatever escapes ends with a message and an exit code,
  // never with an abort.
  try {
    return Run(std::vector<std::string>(argv, argv + argc));
  } catch (const std::exception& error) {
    std::cerr << "korvane-cli: unexpected error: " << error.what() << "\n";
  } catch (...) {
    std::cerr << "korvane-cli: unexpected error\n";
  }
  return kExitUnexpected;
}
