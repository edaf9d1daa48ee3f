#include <iostream>
#include <string>
#include <vector>

#include "tools/cli/CliOptions.h"
#include "tools/cli/Commands.h"
#include "tools/cli/PortDiagnosis.h"

using namespace korvane::cli;

int main(int argc, char** argv) {
  PrepareConsole();
  const std::vector<std::string> arguments(argv, argv + argc);
  std::string error;
  const auto options = ParseCommandLine(arguments, error);
  if (!options) {
    std::cerr << "korvane-cli: " << error << "\n"
              << "Run 'korvane-cli --help' for usage.\n";
    return kExitUsage;
  }
  if (options->Action == Command::Help || options->HelpRequested) {
    std::cout << HelpText(options->Action);
    return kExitSuccess;
  }
  switch (options->Action) {
    case Command::Ports:
      return RunPorts(std::cout);
    case Command::Write:
      return RunWrite(*options, std::cout, std::cerr);
    case Command::Read:
      return RunRead(*options, std::cout, std::cerr);
    case Command::Image:
      return RunImage(*options, std::cout, std::cerr);
    case Command::Help:
      break;
  }
  return kExitSuccess;
}
