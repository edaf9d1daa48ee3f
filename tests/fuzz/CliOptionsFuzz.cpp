// The command line is typed by the operator or written by scripts. The input
// is the argument list, arguments separated by NUL bytes as in /proc/PID/cmdline.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "tests/fuzz/FuzzCheck.h"

using korvane::test::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments;
  korvane::test::ForEachPiece(reinterpret_cast<const char*>(data), size, '\0',
                              [&](std::string piece) { arguments.push_back(std::move(piece)); });
  const korvane::TResult<korvane::cli::CliOptions> parsed =
      korvane::cli::ParseCommandLine(arguments);
  if (!parsed) {
    Check(!parsed.Message().empty(), "a refused command line says why");
    return 0;
  }
  const korvane::cli::CliOptions* options = &parsed.Value();
  Check(options->BaudIndex >= 0 && options->BaudIndex <= 4, "the baud index is one of the five");
  Check(!korvane::cli::CommandName(options->Action).empty(), "every command has a name");
  Check(!korvane::cli::HelpText(options->Action).empty(), "every command has help");
  return 0;
}
