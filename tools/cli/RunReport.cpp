#include "cli/RunReport.h"

#include <cstdlib>
#include <filesystem>

#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/Sha256.h"
#include "model/BaudRates.h"
#include "platform/Console.h"
#include "platform/Interrupt.h"

namespace fs = std::filesystem;

namespace korvane::cli {
namespace {

std::string ResultWord(int exit) {
  if (exit == kExitSuccess) {
    return "ok";
  }
  return exit > kExitSignalBase ? "interrupted" : "failed";
}

Json DifferencesJson(const std::vector<CodeDifference>& differences) {
  Json items = Json::array();
  for (const CodeDifference& difference : differences) {
    items.push_back(JsonObject()
                        .Add("code", difference.Code)
                        .Add("expected", difference.Expected)
                        .Add("actual", difference.Actual)
                        .Value());
  }
  return items;
}

Json CodesJson(const CodeTable& table) {
  JsonObject codes;
  for (int button = 1; button <= kButtonCount; ++button) {
    JsonObject section;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      section.Add(SlotKey(slot), table.Text(button, slot));
    }
    codes.Add("Button" + std::to_string(button), section.Value());
  }
  return codes.Value();
}

}  // namespace

Json OutcomeJson(const PortOutcome& outcome, Command command) {
  const PortIdentity& id = outcome.Target.Identity;
  JsonObject json;
  json.Add("port", outcome.Target.Label)
      .Add("name", id.Name)
      .Add("path", id.Path)
      .Add("by_id", id.ById)
      .Add("location", id.Location)
      .Add("usb", UsbJson(id))
      .Add("phase", outcome.Phase)
      .Add("result", ResultWord(outcome.Exit))
      .Add("exit", outcome.Exit)
      .Add("message", outcome.Message)
      .Add("duration_ms", outcome.DurationMs);
  if (outcome.Slot > 0) {
    json.Add("slot", outcome.Slot).Add("unit", outcome.Unit);
  }
  if (command == Command::Write || command == Command::Station) {
    json.Add("differences", DifferencesJson(outcome.Differences));
    json.Add("partly_written", outcome.PartlyWritten);
    json.Add("verified", outcome.Verified);
  } else if (command == Command::Verify) {
    json.Add("differences", DifferencesJson(outcome.Differences));
    json.Add("verified", outcome.Verified);
  } else if (outcome.Exit == kExitSuccess) {
    json.Add("baud_rate", BaudText(outcome.Baud));
    json.Add("codes", CodesJson(outcome.Codes));
  }
  return json.Value();
}

namespace {

// The fields every line starts with: what wrote it, in which run, and when.
JsonObject LogLineStart(const RunSetup& run) {
  JsonObject line;
  line.Add("format", kResultsFormat);
  AddRunFields(line, run.Record, run.Options);
  line.Add("time", UtcNow()).Add("command", CommandName(run.Options.Action));
  return line;
}

bool AppendLogLine(RunSetup& run, const JsonObject& line) {
  if (const TStatus appended = run.Log->Append(line.Text()); !appended) {
    run.Note(appended.Error().Words(run.Lang));
    return false;
  }
  return true;
}

}  // namespace

TProgressBoard::Mode RunSetup::BoardMode(const CliOptions& options) {
  if (options.Level == Verbosity::Quiet) {
    return TProgressBoard::Mode::Silent;
  }
  return StandardErrorIsTerminal() ? TProgressBoard::Mode::Terminal : TProgressBoard::Mode::Lines;
}

bool LogOutcome(RunSetup& run, const PortOutcome& outcome) {
  if (!run.Log) {
    return true;
  }
  const bool hasFile = !run.Options.CodeSetFile.empty();
  const bool write = run.Options.Action == Command::Write || run.Options.Action == Command::Station;
  JsonObject line = LogLineStart(run);
  line.Add("port", outcome.Target.Label)
      .Add("path", outcome.Target.Identity.Path)
      .Add("by_id", outcome.Target.Identity.ById)
      .Add("location", outcome.Target.Identity.Location)
      .Add("usb", UsbJson(outcome.Target.Identity))
      .Add("file", hasFile ? fs::path(run.Options.CodeSetFile).filename().string() : "")
      .Add("sha256", hasFile ? Sha256Hex(run.CodeSetBytes) : "")
      .Add("result", ResultWord(outcome.Exit))
      .Add("exit", outcome.Exit)
      .Add("message", outcome.Message)
      .Add("duration_ms", outcome.DurationMs)
      .Add("image_sha256", write ? run.ImageSha256 : "")
      .Add("baud_rate", BaudText(write ? run.Options.BaudIndex : outcome.Baud))
      .Add("phase", outcome.Phase)
      .Add("verified", outcome.Verified)
      .Add("differences", DifferencesJson(outcome.Differences));
  if (outcome.Slot > 0) {
    line.Add("slot", outcome.Slot).Add("unit", outcome.Unit);
  }
  return AppendLogLine(run, line);
}

int UnrecordedExit(int exit) {
  return exit == kExitSuccess ? kExitUnrecorded : exit;
}

void LogRefusedRun(RunSetup& run, const std::string& phase, int exit, const std::string& message) {
  if (!run.Log) {
    return;
  }
  const bool hasBytes = !run.CodeSetBytes.empty();
  std::string ports;
  for (const std::string& port : run.Options.Ports) {
    ports += (ports.empty() ? "" : ",") + port;
  }
  JsonObject line = LogLineStart(run);
  line.Add("port", ports)
      .Add("path", "")
      .Add("by_id", "")
      .Add("location", "")
      .AddNull("usb")
      .Add("file", fs::path(run.Options.CodeSetFile).filename().string())
      .Add("sha256", hasBytes ? Sha256Hex(run.CodeSetBytes) : "")
      .Add("result", ResultWord(exit))
      .Add("exit", exit)
      .Add("message", message)
      .Add("duration_ms", std::int64_t{0})
      .Add("image_sha256", run.ImageSha256)
      .Add("baud_rate", BaudText(run.Options.Action == Command::Read ? -1 : run.Options.BaudIndex))
      .Add("phase", phase)
      .Add("verified", false)
      .Add("differences", Json::array());
  // The run failed already: a log that fails too only adds its note.
  static_cast<void>(AppendLogLine(run, line));
}

// Diagnostics on stderr; results on stdout (text or one JSON document).

std::string BaudText(int index) {
  return std::string(BaudRateText(index));
}

std::string Diagnostic(const std::string& text) {
  return "korvane-cli: " + text;
}

Language LanguageOf(const CliOptions& options) {
  return ChooseLanguage(options.Lang, std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                        std::getenv("LANG"));
}

int InterruptExit() {
  return kExitSignalBase + InterruptSignal();
}

int Report(RunSetup& run, const std::vector<PortOutcome>& outcomes, const Json& file) {
  run.Board->Clear();
  int exit = kExitSuccess;
  bool recorded = true;
  Json ports = Json::array();
  for (const PortOutcome& outcome : outcomes) {
    recorded = LogOutcome(run, outcome) && recorded;
    for (const CodeDifference& difference : outcome.Differences) {
      const std::string code =
          difference.Code == kBaudRateDifference ? run.Say(TextId::kCliBaudRate) : difference.Code;
      run.Note(outcome.Target.Label + ": " +
               run.Say(TextId::kCliVerifyDifference,
                       {code, JsonQuote(difference.Expected), JsonQuote(difference.Actual)}));
    }
    if (outcome.Exit != kExitSuccess) {
      run.Note(outcome.Target.Label + ": " + outcome.Message);
      exit = exit == kExitSuccess ? outcome.Exit : exit;
    }
    if (outcome.PartlyWritten) {
      run.Note(outcome.Target.Label + ": " + run.Say(TextId::kCliPartlyWritten));
    }
    if (run.Options.Json) {
      ports.push_back(OutcomeJson(outcome, run.Options.Action));
    } else if (outcome.Exit == kExitSuccess) {
      run.Out << outcome.Target.Label << ": " << outcome.Message << "\n";
    } else {
      const TextId result =
          outcome.Exit > kExitSignalBase ? TextId::kCliResultInterrupted : TextId::kCliResultFailed;
      run.Out << outcome.Target.Label << ": " << run.Say(result, {std::to_string(outcome.Exit)})
              << "\n";
    }
  }
  if (InterruptSignal() != 0) {
    exit = InterruptExit();
  }
  if (!recorded) {  // the JSON document says so too
    exit = UnrecordedExit(exit);
  }
  if (run.Options.Json) {
    JsonObject document;
    document.Add("format", kResultsFormat).Add("command", CommandName(run.Options.Action));
    AddRunFields(document, run.Record, run.Options);
    if (!file.is_null()) {
      document.Add("file", file);
    }
    document.Add("exit", exit).Add("ports", std::move(ports));
    run.Out << document.Text() << "\n";
  }
  if (const TStatus flushed = FlushedWhole(run.Out); !flushed) {
    run.Note(TextId::kCliStdoutResults, {flushed.Error().Words(run.Lang)});
    for (const PortOutcome& outcome : outcomes) {
      if (outcome.Exit == kExitSuccess) {  // failures were given above
        run.Note(outcome.Target.Label + ": " + outcome.Message);
      }
    }
    recorded = false;
  }
  return recorded ? exit : UnrecordedExit(exit);
}

Json FileJson(const RunSetup& run) {
  return JsonObject()
      .Add("path", run.Options.CodeSetFile)
      .Add("sha256", Sha256Hex(run.CodeSetBytes))
      .Add("baud_rate", BaudText(run.Options.BaudIndex))
      .Add("image_sha256", run.ImageSha256)
      .Value();
}

}  // namespace korvane::cli
