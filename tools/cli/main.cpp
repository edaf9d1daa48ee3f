#include <KorvaneVersion.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "platform/Console.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

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

// The last flush and close of standard output: what the commands wrote and
// checked must also have left the program. A failure exits kExitUnrecorded
// after read and write (the device part was done), kExitFile otherwise.
int FinishStandardOutput(const std::vector<std::string>& arguments, int exit) {
  std::string why;
  bool whole = FlushedWhole(std::cout, why) && std::fflush(stdout) == 0;
#ifdef _WIN32
  whole = ::_close(::_fileno(stdout)) == 0 && whole;
#else
  whole = ::close(STDOUT_FILENO) == 0 && whole;
#endif
  if (whole || exit != kExitSuccess) {
    return exit;
  }
  std::cerr << "korvane-cli: cannot write standard output"
            << (why.empty() ? std::string() : ": " + why) << "\n";
  const bool deviceDone =
      arguments.size() > 1 && (arguments[1] == "read" || arguments[1] == "write");
  return deviceDone ? kExitUnrecorded : kExitFile;
}

}  // namespace

int main(int argc, char** argv) {
  korvane::PrepareConsole();
  // The last resort: whatever escapes ends with a message and an exit code,
  // never with an abort.
  try {
    const std::vector<std::string> arguments(argv, argv + argc);
    return FinishStandardOutput(arguments, Run(arguments));
  } catch (const std::exception& error) {
    std::cerr << "korvane-cli: unexpected error: " << error.what() << "\n";
  } catch (...) {
    std::cerr << "korvane-cli: unexpected error\n";
  }
  return kExitUnexpected;
}
