#include <KorvaneVersion.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/RunReport.h"
#include "platform/Console.h"

using namespace korvane;
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

// Runs the command line; `language` becomes the one the command speaks once
// the options are known.
int Run(const std::vector<std::string>& arguments, Language& language) {
  const TResult<CliOptions> parsed = ParseCommandLine(arguments);
  if (!parsed) {
    std::cerr << Diagnostic(parsed.Error().Words(language)) << "\n"
              << "Run '" << HelpHint(arguments) << "' for usage.\n";
    return kExitUsage;
  }
  const CliOptions* options = &parsed.Value();
  language = LanguageOf(*options);
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
int FinishStandardOutput(const std::vector<std::string>& arguments, int exit, Language language) {
  TStatus finished = FlushedWhole(std::cout);
  if (const TStatus closed = CloseStandardOutput(); finished && !closed) {
    finished = closed;
  }
  if (finished || exit != kExitSuccess) {
    return exit;
  }
  std::cerr << Diagnostic(
                   Text(TextId::kCliStdoutFailed, language, {finished.Error().Words(language)}))
            << "\n";
  const bool deviceDone =
      arguments.size() > 1 && (arguments[1] == "read" || arguments[1] == "write");
  return deviceDone ? kExitUnrecorded : kExitFile;
}

}  // namespace

int main(int argc, char** argv) {
  korvane::PrepareConsole();
  // Until the options are read, the locale's language.
  Language language = LanguageOf(CliOptions{});
  // The last resort: whatever escapes ends with a message and an exit code,
  // never with an abort.
  try {
    const std::vector<std::string> arguments(argv, argv + argc);
    const int exit = Run(arguments, language);
    return FinishStandardOutput(arguments, exit, language);
  } catch (const std::exception& error) {
    std::cerr << Diagnostic(Text(TextId::kCliUnexpectedError, language, {error.what()})) << "\n";
  } catch (...) {
    std::cerr << Diagnostic(Text(TextId::kCliUnexpectedUnknown, language)) << "\n";
  }
  return kExitUnexpected;
}
