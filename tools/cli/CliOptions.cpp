#include "tools/cli/CliOptions.h"

#include <charconv>
#include <map>

namespace korvane::cli {
namespace {

const std::map<std::string, Command> kCommands = {{"ports", Command::Ports},
                                                  {"write", Command::Write},
                                                  {"read", Command::Read},
                                                  {"image", Command::Image},
                                                  {"help", Command::Help}};

bool ParseBaudIndex(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && value >= 0 && value <= 4;
}

struct Parser {
  const std::vector<std::string>& args;
  std::size_t next = 1;
  std::string& error;

  bool Fail(const std::string& message) {
    error = message;
    return false;
  }
  bool TakeValue(const std::string& option, std::string& value) {
    if (next >= args.size()) {
      return Fail("option " + option + " needs a value");
    }
    value = args[next++];
    return true;
  }
};

bool Allowed(Command command, const std::string& option) {
  static const std::map<std::string, std::vector<Command>> kAllowed = {
      {"--port", {Command::Write, Command::Read}},
      {"--baud-index", {Command::Write, Command::Image}},
      {"--verify", {Command::Write}},
      {"--image-dir", {Command::Write}},
      {"-o", {Command::Read, Command::Image}},
      {"--output", {Command::Read, Command::Image}}};
  const auto it = kAllowed.find(option);
  if (it == kAllowed.end()) {
    return false;
  }
  for (Command allowed : it->second) {
    if (allowed == command) {
      return true;
    }
  }
  return false;
}

bool ParseOption(Parser& parser, CliOptions& options, const std::string& option) {
  if (!Allowed(options.Action, option)) {
    return parser.Fail("unknown option for this command: " + option);
  }
  std::string value;
  if (option == "--verify") {
    options.Verify = true;
    return true;
  }
  if (!parser.TakeValue(option, value)) {
    return false;
  }
  if (option == "--port") {
    options.Ports.push_back(value);
  } else if (option == "--image-dir") {
    options.ImageDirectory = value;
  } else if (option == "--baud-index") {
    if (!ParseBaudIndex(value, options.BaudIndex)) {
      return parser.Fail("--baud-index must be 0 to 4 (4800, 9600, 19200, 57600, 115200): " +
                         value);
    }
  } else {
    options.Output = value;
  }
  return true;
}

bool CheckComplete(Parser& parser, const CliOptions& options,
                   const std::vector<std::string>& positional) {
  const bool wantsFile = options.Action == Command::Write || options.Action == Command::Image;
  if (positional.size() > (wantsFile ? 1u : 0u)) {
    return parser.Fail("unexpected argument: " + positional.back());
  }
  if (wantsFile && positional.empty()) {
    return parser.Fail("a code set file (.IOS) is required");
  }
  if ((options.Action == Command::Write || options.Action == Command::Read) &&
      options.Ports.empty()) {
    return parser.Fail("--port is required");
  }
  if (options.Action == Command::Read && options.Ports.size() > 1) {
    return parser.Fail("read takes one --port");
  }
  if (options.Action == Command::Image && options.Output.empty()) {
    return parser.Fail("-o OUT.bin is required");
  }
  return true;
}

}  // namespace

std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& arguments,
                                           std::string& error) {
  CliOptions options;
  Parser parser{arguments, 1, error};
  if (arguments.size() < 2 || arguments[1] == "--help" || arguments[1] == "-h") {
    return options;
  }
  const auto command = kCommands.find(arguments[1]);
  if (command == kCommands.end()) {
    error = "unknown command: " + arguments[1];
    return std::nullopt;
  }
  options.Action = command->second;
  parser.next = 2;
  std::vector<std::string> positional;
  while (parser.next < arguments.size()) {
    const std::string& argument = arguments[parser.next++];
    if (argument == "--help" || argument == "-h") {
      options.HelpRequested = true;
      return options;
    }
    if (argument.size() > 1 && argument[0] == '-') {
      if (!ParseOption(parser, options, argument)) {
        return std::nullopt;
      }
    } else {
      positional.push_back(argument);
    }
  }
  if (options.Action == Command::Help || options.Action == Command::Ports) {
    if (!positional.empty()) {
      error = "unexpected argument: " + positional.front();
      return std::nullopt;
    }
    return options;
  }
  if (!CheckComplete(parser, options, positional)) {
    return std::nullopt;
  }
  if (!positional.empty()) {
    options.CodeSetFile = positional.front();
  }
  return options;
}

std::string HelpText(Command command) {
  switch (command) {
    case Command::Ports:
      return "usage: korvane-cli ports\n"
             "Lists the serial ports the editor would list, one a line: name and device path.\n";
    case Command::Write:
      return "usage: korvane-cli write --port PORT [--port PORT ...] FILE.IOS [--baud-index N] "
             "[--verify]\n"
             "Programs the device on each PORT with the codes of FILE.IOS, exactly as the\n"
             "editor's write button does. PORT is a name from 'korvane-cli ports' or a device\n"
             "path. Several ports are programmed in parallel.\n"
             "  --baud-index N  device control baud rate: 0=4800 1=9600 (default) 2=19200\n"
             "                  3=57600 4=115200\n"
             "  --verify        read the device back afterwards and compare\n"
             "  --image-dir DIR build the image files in DIR instead of beside the program\n"
             "Exit codes: 0 success, 2 usage, 3 code set file, 10 port, 11 handshake,\n"
             "12 image file, 13 block not acknowledged, 14 code over 126 characters,\n"
             "15 read-back length, 16 verify mismatch; with several ports, the code of the\n"
             "first port that failed.\n";
    case Command::Read:
      return "usage: korvane-cli read --port PORT [-o FILE.IOS]\n"
             "Reads the codes held by the device. Without -o the 32 codes are printed as a\n"
             "code set file; the baud rate the device holds is always printed.\n"
             "Exit codes: 0 success, 2 usage, 3 output file, 10 port, 15 reply length.\n";
    case Command::Image:
      return "usage: korvane-cli image FILE.IOS -o OUT.bin [--baud-index N]\n"
             "Builds the 2560-byte configuration image of FILE.IOS without a device.\n";
    case Command::Help:
      break;
  }
  return "usage: korvane-cli COMMAND [options]\n"
         "Commands:\n"
         "  ports   list the serial ports\n"
         "  write   program devices from a code set file\n"
         "  read    read the codes back from a device\n"
         "  image   build the configuration image of a code set file\n"
         "Run 'korvane-cli COMMAND --help' for the options of a command.\n";
}

}  // namespace korvane::cli
