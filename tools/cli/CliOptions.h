#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Result.h"
#include "platform/Texts.h"

namespace korvane::cli {

enum class Command { Help, Version, Ports, Write, Read, Image, Verify, Station };

// How much goes to stderr besides errors.
enum class Verbosity { Quiet, Normal, Trace };

struct CliOptions {
  Command Action = Command::Help;
  std::vector<std::string> Ports;  // --port / -p, in the order given
  std::string CodeSetFile;         // write, image: the .IOS file
  std::string Output;              // read, image: -o / --output ("-" is stdout)
  std::string ImageDirectory;      // write: --image-dir (default: a private temporary folder)
  std::string LogFile;             // write, read: --log, one JSON line per port
  int BaudIndex = 1;               // write, image: --baud-index (0-4) or --baud RATE
  bool Verify = true;              // write: on unless --no-verify
  bool AllowEmpty = false;         // write, image: --allow-empty
  bool Lenient = false;            // write, image: --lenient (codes that are not hex text)
  bool AcceptOverlong = false;     // read: --accept-overlong
  bool Json = false;               // ports, write, read: --json
  Verbosity Level = Verbosity::Normal;
  std::optional<Language> Lang;  // --lang; unset: from the locale
  bool HelpRequested = false;    // --help after a command
  // write, read: who and what produced a result, in the results log and JSON.
  std::string Station;   // --station
  std::string Operator;  // --operator
  std::string Batch;     // --batch
  // --profile FILE; without it the user's cli.ini, when there is one. Its
  // values count where the command line gives none.
  std::string ProfileFile;
  // station
  std::vector<std::string>
      Matches;  // --match FILTER (or the profile's matches): every port it matches is a slot
  bool IncludeVirtual = false;  // --include-virtual: --port all takes simulators too
  bool Once = false;            // --once: one unit per slot, then exit
  bool Confirm = false;         // --confirm[=KEYS]: the operator confirms each unit
  std::string ConfirmKeys;      // key N confirms slot N; empty: Enter confirms all
};

// Parses argv, then takes what the command line leaves open from the profile
// (--profile FILE, else the user's cli.ini). Fails on a usage error (in
// English) or a profile that cannot be read.
[[nodiscard]] TResult<CliOptions> ParseCommandLine(const std::vector<std::string>& arguments);

// The command's name as typed ("write"), for messages.
std::string CommandName(Command command);

// Help text of one command, or the overview for Command::Help.
std::string HelpText(Command command);

// The language of messages: --lang, else Chinese for a zh_* locale
// (LC_ALL, LC_MESSAGES, LANG in that order), else English.
Language ChooseLanguage(const std::optional<Language>& requested, const char* lcAll,
                        const char* lcMessages, const char* lang);

}  // namespace korvane::cli
