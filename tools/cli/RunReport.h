#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/Json.h"
#include "cli/PortSelection.h"
#include "cli/Progress.h"
#include "cli/ResultsLog.h"
#include "cli/RunRecord.h"
#include "cli/Verify.h"
#include "model/CodeTable.h"

namespace korvane::cli {

// "4800" .. "115200" for a baud index, "none" for any other value.
std::string BaudText(int index);

// A diagnostic line as every one starts: "korvane-cli: ...".
std::string Diagnostic(const std::string& text);

// The language of the run's messages: --lang, else the locale's.
Language LanguageOf(const CliOptions& options);

// 128 + the interrupt received.
int InterruptExit();

// What one run shares between its ports.
struct RunSetup {
  const CliOptions& Options;
  Language Lang;
  std::ostream& Out;
  std::ostream& Err;
  std::unique_ptr<TProgressBoard> Board;
  std::unique_ptr<TResultsLog> Log;
  std::string CodeSetBytes;  // for the results log's checksum
  std::string ImageSha256;   // of the 2560 bytes a write sends; empty before the file is read
  TRunRecord Record = NewRunRecord();

  RunSetup(const CliOptions& options, std::ostream& out, std::ostream& err)
      : Options(options),
        Lang(LanguageOf(options)),
        Out(out),
        Err(err),
        Board(std::make_unique<TProgressBoard>(err, BoardMode(options))) {}

  // Rows on a terminal, lines elsewhere, nothing with -q.
  static TProgressBoard::Mode BoardMode(const CliOptions& options);
  void Note(const std::string& text) { Board->Note(Diagnostic(text)); }
  // The catalogue's words in the run's language.
  std::string Say(TextId id, const std::vector<std::string>& args = {}) const {
    return Text(id, Lang, args);
  }
  void Note(TextId id, const std::vector<std::string>& args = {}) { Note(Say(id, args)); }
  std::function<void(const std::string&)> Tracer() {
    if (Options.Level != Verbosity::Trace) {
      return {};
    }
    return [this](const std::string& line) { Board->Note(Diagnostic(line)); };
  }
};

// The result of one port.
struct PortOutcome {
  PortTarget Target;
  int Exit = 0;
  std::string Phase = "opening";
  std::string Message;
  std::int64_t DurationMs = 0;
  std::vector<CodeDifference> Differences;
  bool PartlyWritten = false;
  bool Verified = false;  // write: read back and found equal to the file
  int Baud = -1;          // read: the device's baud index
  int Slot = 0;           // station: the slot's number (0 elsewhere)
  std::int64_t Unit = 0;  // station: the unit's number on its slot
  CodeTable Codes;
};

// Appends the outcome to the results log, when one was asked for; false
// (with a note on stderr) when the line could not be written.
bool LogOutcome(RunSetup& run, const PortOutcome& outcome);

// The exit of a run whose device part ended with `exit` and whose output (stdout, an
// output file, the log) failed: kExitUnrecorded in place of success, else
// the device's own failure.
int UnrecordedExit(int exit);

// Appends the line of a run refused before any port was used (the code set
// file refused, no port matched): `phase` is "loading" or "selecting", `ports`
// the --port values given.
void LogRefusedRun(RunSetup& run, const std::string& phase, int exit, const std::string& message);

// Ends a run: diagnostics on stderr, results on stdout (a line per port, or
// one JSON document that carries `file`, unless null, as its "file" member). Returns the
// exit code of the run: see UnrecordedExit when stdout or the log failed, in
// which case each port's result is also given on stderr.
int Report(RunSetup& run, const std::vector<PortOutcome>& outcomes, const Json& file = nullptr);

// One port's result as a JSON object, as in the document of `command`.
Json OutcomeJson(const PortOutcome& outcome, Command command);

// The code set file of a write as a JSON object: path, checksum, baud rate.
Json FileJson(const RunSetup& run);

}  // namespace korvane::cli
