#include "cli/CliOptions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <set>

#include "cli/Profile.h"
#include "model/BaudRates.h"

namespace korvane::cli {
namespace {

const std::map<std::string, Command> kCommands = {
    {"ports", Command::Ports}, {"write", Command::Write},   {"read", Command::Read},
    {"image", Command::Image}, {"verify", Command::Verify}, {"station", Command::Station},
    {"help", Command::Help}};

struct OptionRule {
  const char* name;
  const char* shortName;  // nullptr when there is none
  bool takesValue;
  std::vector<Command> commands;
};

const std::vector<OptionRule>& OptionRules() {
  using C = Command;
  static const std::vector<OptionRule> rules = {
      {"--port", "-p", true, {C::Write, C::Read, C::Verify, C::Station}},
      {"--output", "-o", true, {C::Read, C::Image}},
      {"--baud-index", nullptr, true, {C::Write, C::Image, C::Verify, C::Station}},
      {"--baud", nullptr, true, {C::Write, C::Image, C::Verify, C::Station}},
      {"--image-dir", nullptr, true, {C::Write, C::Station}},
      {"--log", nullptr, true, {C::Write, C::Read, C::Verify, C::Station}},
      {"--lang", nullptr, true, {C::Ports, C::Write, C::Read, C::Image, C::Verify, C::Station}},
      {"--verify", nullptr, false, {C::Write}},
      {"--no-verify", nullptr, false, {C::Write}},
      {"--allow-empty", nullptr, false, {C::Write, C::Image, C::Verify, C::Station}},
      {"--lenient", nullptr, false, {C::Write, C::Image, C::Verify, C::Station}},
      {"--accept-overlong", nullptr, false, {C::Read}},
      {"--json", nullptr, false, {C::Ports, C::Write, C::Read, C::Verify, C::Station}},
      {"--quiet", "-q", false, {C::Ports, C::Write, C::Read, C::Image, C::Verify, C::Station}},
      {"--verbose", "-v", false, {C::Write, C::Read, C::Verify, C::Station}},
      {"--station", nullptr, true, {C::Write, C::Read, C::Verify, C::Station}},
      {"--operator", nullptr, true, {C::Write, C::Read, C::Verify, C::Station}},
      {"--batch", nullptr, true, {C::Write, C::Read, C::Verify, C::Station}},
      {"--profile", nullptr, true, {C::Ports, C::Write, C::Read, C::Image, C::Verify, C::Station}},
      {"--match", nullptr, true, {C::Station}},
      {"--include-virtual", nullptr, false, {C::Station}},
      {"--once", nullptr, false, {C::Station}},
      {"--confirm", nullptr, false, {C::Station}},  // also --confirm=KEYS
  };
  return rules;
}

const OptionRule* FindRule(const std::string& name) {
  for (const OptionRule& rule : OptionRules()) {
    if (name == rule.name || (rule.shortName != nullptr && name == rule.shortName)) {
      return &rule;
    }
  }
  return nullptr;
}

bool TakenBy(const OptionRule& rule, Command command) {
  return std::find(rule.commands.begin(), rule.commands.end(), command) != rule.commands.end();
}

bool ParseInt(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

bool ParseBaudIndex(const std::string& text, int& value) {
  return ParseInt(text, value) && value >= 0 && value < static_cast<int>(kBaudRates.size());
}

bool ParseBaudRate(const std::string& text, int& value) {
  const int index = BaudIndexOf(text);
  if (index < 0) {
    return false;
  }
  value = index;
  return true;
}

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  std::optional<CliOptions> Run() {
    if (args_.size() < 2) {
      return Fail("no command given");
    }
    const std::string& first = args_[1];
    if (first == "--help" || first == "-h") {
      return options_;
    }
    if (first == "--version" || first == "-V") {
      options_.Action = Command::Version;
      return options_;
    }
    const auto command = kCommands.find(first);
    if (command == kCommands.end()) {
      return Fail("unknown command: " + first);
    }
    options_.Action = command->second;
    if (!ParseRest()) {
      return std::nullopt;
    }
    return options_;
  }

  // Why Run gave nothing.
  const TError& Error() const { return error_; }

 private:
  std::nullopt_t Fail(const std::string& message) {
    error_ = TError{{}, message};
    return std::nullopt;
  }
  bool FailFalse(const std::string& message) {
    error_ = TError{{}, message};
    return false;
  }

  bool ParseRest() {
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (next_ = 2; next_ < args_.size();) {
      const std::string& argument = args_[next_++];
      if (optionsEnded || argument == "-" || argument.empty() || argument[0] != '-') {
        positional.push_back(argument);
      } else if (argument == "--") {
        optionsEnded = true;
      } else if (argument == "--help" || argument == "-h") {
        options_.HelpRequested = true;
        return true;
      } else if (!ParseOption(argument)) {
        return false;
      }
    }
    return CheckPositional(positional) && ApplyProfile() && CheckComplete();
  }

  // The profile's keys and the options they stand for. A key whose option the
  // command line gave, or that the command does not take, is passed over.
  bool ApplyProfile() {
    const auto profile = ReadProfile(options_.ProfileFile);
    if (!profile) {
      error_ = profile.Error();
      return false;
    }
    static const std::map<std::string, std::string> kOptionOfKey = {
        {"ports", "--port"},      {"baud", "--baud"},         {"log", "--log"},
        {"station", "--station"}, {"operator", "--operator"}, {"batch", "--batch"}};
    for (const TProfileEntry& entry : profile.Value()) {
      if (entry.Key == "matches") {
        options_.Matches = ProfileList(entry.Value);
        continue;
      }
      const std::string& option = kOptionOfKey.at(entry.Key);
      const OptionRule* rule = FindRule(option);
      if (given_.count(option) != 0 || !TakenBy(*rule, options_.Action)) {
        continue;
      }
      const std::vector<std::string> values =
          entry.Key == "ports" ? ProfileList(entry.Value) : std::vector<std::string>{entry.Value};
      for (const std::string& value : values) {
        if (!ApplyValue(option, value)) {
          return FailFalse(entry.Origin + ": " + error_.Message);
        }
      }
    }
    return true;
  }

  bool ParseOption(const std::string& argument) {
    const std::size_t equals = argument.find('=');
    const bool inlineValue = argument.rfind("--", 0) == 0 && equals != std::string::npos;
    const std::string name = inlineValue ? argument.substr(0, equals) : argument;
    const OptionRule* rule = FindRule(name);
    if (rule == nullptr || !TakenBy(*rule, options_.Action)) {
      return FailFalse("unknown option for " + CommandName(options_.Action) + ": " + name);
    }
    // --baud and --baud-index set one value: either hides the profile's baud.
    given_.insert(std::string(rule->name) == "--baud-index" ? "--baud" : rule->name);
    if (!rule->takesValue) {
      if (inlineValue && name == "--confirm") {
        return ApplyConfirmKeys(argument.substr(equals + 1));
      }
      if (inlineValue) {
        return FailFalse("option " + std::string(rule->name) + " takes no value");
      }
      return ApplyFlag(rule->name);
    }
    std::string value;
    if (inlineValue) {
      value = argument.substr(equals + 1);
    } else if (next_ < args_.size()) {
      value = args_[next_++];
    } else {
      return FailFalse("option " + std::string(rule->name) + " needs a value");
    }
    return ApplyValue(rule->name, value);
  }

  bool ApplyFlag(const std::string& name) {
    if (name == "--verify" || name == "--no-verify") {
      options_.Verify = name == "--verify";
    } else if (name == "--allow-empty") {
      options_.AllowEmpty = true;
    } else if (name == "--lenient") {
      options_.Lenient = true;
    } else if (name == "--accept-overlong") {
      options_.AcceptOverlong = true;
    } else if (name == "--json") {
      options_.Json = true;
    } else if (name == "--include-virtual") {
      options_.IncludeVirtual = true;
    } else if (name == "--once") {
      options_.Once = true;
    } else if (name == "--confirm") {
      options_.Confirm = true;
    } else if (name == "--quiet") {
      options_.Level = Verbosity::Quiet;
    } else {
      options_.Level = Verbosity::Trace;
    }
    return true;
  }

  bool ApplyValue(const std::string& name, const std::string& value) {
    if (value.empty() && name != "--output") {
      return FailFalse("option " + name + " needs a value");
    }
    if (name == "--port") {
      options_.Ports.push_back(value);
    } else if (name == "--match") {
      options_.Matches.push_back(value);
    } else if (name == "--output") {
      options_.Output = value;
    } else if (name == "--image-dir") {
      options_.ImageDirectory = value;
    } else if (name == "--log") {
      options_.LogFile = value;
    } else if (name == "--station") {
      options_.Station = value;
    } else if (name == "--operator") {
      options_.Operator = value;
    } else if (name == "--batch") {
      options_.Batch = value;
    } else if (name == "--profile") {
      options_.ProfileFile = value;
    } else if (name == "--lang") {
      return ApplyLanguage(value);
    } else if (name == "--baud-index") {
      if (!ParseBaudIndex(value, options_.BaudIndex)) {
        return FailFalse("--baud-index must be 0 to 4 (4800, 9600, 19200, 57600, 115200): " +
                         value);
      }
    } else if (!ParseBaudRate(value, options_.BaudIndex)) {
      return FailFalse("--baud must be 4800, 9600, 19200, 57600 or 115200: " + value);
    }
    return true;
  }

  bool ApplyConfirmKeys(const std::string& keys) {
    if (keys.empty() || keys.find_first_of("\r\n") != std::string::npos) {
      return FailFalse("--confirm=KEYS wants the keys of slots 1, 2, ... (e.g. --confirm=1234)");
    }
    options_.Confirm = true;
    options_.ConfirmKeys = keys;
    return true;
  }

  bool ApplyLanguage(const std::string& value) {
    if (value == "en") {
      options_.Lang = Language::English;
    } else if (value == "zh") {
      options_.Lang = Language::Chinese;
    } else {
      return FailFalse("--lang must be en or zh: " + value);
    }
    return true;
  }

  bool CheckPositional(const std::vector<std::string>& positional) {
    const Command action = options_.Action;
    const bool wantsFile = action == Command::Write || action == Command::Image ||
                           action == Command::Verify || action == Command::Station;
    if (positional.size() > (wantsFile ? 1u : 0u)) {
      return FailFalse("unexpected argument: " + positional.back());
    }
    if (wantsFile && positional.empty()) {
      return FailFalse("a code set file (.IOS) is required");
    }
    if (!positional.empty()) {
      options_.CodeSetFile = positional.front();
    }
    return true;
  }

  bool CheckComplete() {
    const Command action = options_.Action;
    if ((action == Command::Write || action == Command::Read || action == Command::Verify) &&
        options_.Ports.empty()) {
      return FailFalse("--port is required");
    }
    if (action == Command::Station && options_.Ports.empty() && options_.Matches.empty()) {
      return FailFalse("--port or --match is required");
    }
    if ((action == Command::Read || action == Command::Verify) && options_.Ports.size() > 1) {
      return FailFalse(CommandName(action) + " takes one --port");
    }
    if (action == Command::Image && options_.Output.empty()) {
      return FailFalse("-o OUT.bin (or -o - for stdout) is required");
    }
    if (action == Command::Read && options_.Json && options_.Output == "-") {
      return FailFalse("--json and -o - both want stdout");
    }
    return true;
  }

  const std::vector<std::string>& args_;
  TError error_;
  std::size_t next_ = 2;
  CliOptions options_;
  std::set<std::string> given_;  // long names of the options on the command line
};

bool IsChineseLocale(const char* value) {
  return value != nullptr && std::string(value).rfind("zh", 0) == 0;
}

}  // namespace

TResult<CliOptions> ParseCommandLine(const std::vector<std::string>& arguments) {
  Parser parser(arguments);
  std::optional<CliOptions> options = parser.Run();
  if (!options) {
    return parser.Error();
  }
  return *std::move(options);
}

std::string CommandName(Command command) {
  for (const auto& [name, value] : kCommands) {
    if (value == command) {
      return name;
    }
  }
  return "help";
}

Language ChooseLanguage(const std::optional<Language>& requested, const char* lcAll,
                        const char* lcMessages, const char* lang) {
  if (requested) {
    return *requested;
  }
  // The first of the three that is set decides, as for any program's messages.
  for (const char* value : {lcAll, lcMessages, lang}) {
    if (value != nullptr && *value != '\0') {
      return IsChineseLocale(value) ? Language::Chinese : Language::English;
    }
  }
  return Language::English;
}

}  // namespace korvane::cli
