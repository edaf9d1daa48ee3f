#include "cli/RunReport.h"

#include <ctime>
#include <filesystem>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "cli/PortDiagnosis.h"
#include "cli/Sha256.h"
#include "model/BaudRates.h"

namespace fs = std::filesystem;

namespace korvane::cli {
namespace {

std::string ResultWord(int exit) {
  if (exit == kExitSuccess) {
    return "ok";
  }
  return exit > kExitSignalBase ? "interrupted" : "failed";
}

std::string DifferencesJson(const std::vector<CodeDifference>& differences) {
  std::vector<std::string> items;
  items.reserve(differences.size());
  for (const CodeDifference& difference : differences) {
    items.push_back(JsonObject()
                        .Add("code", difference.Code)
                        .Add("expected", difference.Expected)
                        .Add("actual", difference.Actual)
                        .Text());
  }
  return JsonArray(items);
}

std::string CodesJson(const CodeTable& table) {
  JsonObject codes;
  for (int button = 1; button <= kButtonCount; ++button) {
    JsonObject section;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      section.Add(SlotKey(slot), table.Text(button, slot));
    }
    codes.AddRaw("Button" + std::to_string(button), section.Text());
  }
  return codes.Text();
}

JsonObject OutcomeJson(const PortOutcome& outcome, Command command) {
  const PortIdentity& id = outcome.Target.Identity;
  JsonObject json;
  json.Add("port", outcome.Target.Label)
      .Add("name", id.Name)
      .Add("path", id.Path)
      .Add("by_id", id.ById)
      .AddRaw("usb", UsbJson(id))
      .Add("phase", outcome.Phase)
      .Add("result", ResultWord(outcome.Exit))
      .Add("exit", outcome.Exit)
      .Add("message", outcome.Message)
      .Add("duration_ms", outcome.DurationMs);
  if (outcome.Slot > 0) {
    json.Add("slot", outcome.Slot).Add("unit", outcome.Unit);
  }
  if (command == Command::Write || command == Command::Station) {
    json.AddRaw("differences", DifferencesJson(outcome.Differences));
    json.Add("partly_written", outcome.PartlyWritten);
  } else if (command == Command::Verify) {
    json.AddRaw("differences", DifferencesJson(outcome.Differences));
  } else if (outcome.Exit == kExitSuccess) {
    json.Add("baud_rate", BaudText(outcome.Baud));
    json.AddRaw("codes", CodesJson(outcome.Codes));
  }
  return json;
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
#ifdef _WIN32
  gmtime_s(&parts, &now);
#else
  gmtime_r(&now, &parts);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

}  // namespace

TProgressBoard::Mode RunSetup::BoardMode(const CliOptions& options) {
  if (options.Level == Verbosity::Quiet) {
    return TProgressBoard::Mode::Silent;
  }
  return StandardErrorIsTerminal() ? TProgressBoard::Mode::Terminal : TProgressBoard::Mode::Lines;
}

void LogOutcome(RunSetup& run, const PortOutcome& outcome) {
  if (!run.Log) {
    return;
  }
  const bool hasFile = !run.Options.CodeSetFile.empty();
  JsonObject line;
  line.Add("time", UtcNow()).Add("command", CommandName(run.Options.Action));
  line.Add("port", outcome.Target.Label)
      .Add("path", outcome.Target.Identity.Path)
      .Add("by_id", outcome.Target.Identity.ById)
      .AddRaw("usb", UsbJson(outcome.Target.Identity))
      .Add("file", hasFile ? fs::path(run.Options.CodeSetFile).filename().string() : "")
      .Add("sha256", hasFile ? Sha256Hex(run.CodeSetBytes) : "")
      .Add("result", ResultWord(outcome.Exit))
      .Add("exit", outcome.Exit)
      .Add("message", outcome.Message)
      .Add("duration_ms", outcome.DurationMs);
  if (outcome.Slot > 0) {
    line.Add("slot", outcome.Slot).Add("unit", outcome.Unit);
  }
  std::string error;
  if (!run.Log->Append(line.Text(), error)) {
    run.Note("cannot append to the results log " + error);
  }
}

// Diagnostics on stderr; results on stdout (text or one JSON document).

std::string BaudText(int index) {
  return std::string(BaudRateText(index));
}

std::string Diagnostic(const std::string& text) {
  return "korvane-cli: " + text;
}

int InterruptExit() {
  return kExitSignalBase + InterruptSignal();
}

int Report(RunSetup& run, const std::vector<PortOutcome>& outcomes, const std::string& fileJson) {
  run.Board->Clear();
  int exit = kExitSuccess;
  std::vector<std::string> ports;
  for (const PortOutcome& outcome : outcomes) {
    LogOutcome(run, outcome);
    for (const CodeDifference& difference : outcome.Differences) {
      run.Note(outcome.Target.Label + ": verify: " + difference.Code + " written " +
               JsonQuote(difference.Expected) + ", device holds " + JsonQuote(difference.Actual));
    }
    if (outcome.Exit != kExitSuccess) {
      run.Note(outcome.Target.Label + ": " + outcome.Message);
      exit = exit == kExitSuccess ? outcome.Exit : exit;
    }
    if (outcome.PartlyWritten) {
      run.Note(outcome.Target.Label +
               ": the device may be partly written; program it again before use");
    }
    if (run.Options.Json) {
      ports.push_back(OutcomeJson(outcome, run.Options.Action).Text());
    } else if (outcome.Exit == kExitSuccess) {
      run.Out << outcome.Target.Label << ": " << outcome.Message << "\n";
    } else {
      run.Out << outcome.Target.Label << ": "
              << (outcome.Exit > kExitSignalBase ? "interrupted" : "failed") << " (exit "
              << outcome.Exit << ")\n";
    }
  }
  if (InterruptSignal() != 0) {
    exit = InterruptExit();
  }
  if (run.Options.Json) {
    JsonObject document;
    document.Add("format", 1).Add("command", CommandName(run.Options.Action));
    if (!fileJson.empty()) {
      document.AddRaw("file", fileJson);
    }
    document.Add("exit", exit).AddRaw("ports", JsonArray(ports));
    run.Out << document.Text() << "\n";
  }
  run.Out << std::flush;
  return exit;
}

std::string OutcomeJsonText(const PortOutcome& outcome, Command command) {
  return OutcomeJson(outcome, command).Text();
}

std::string FileJson(const RunSetup& run) {
  return JsonObject()
      .Add("path", run.Options.CodeSetFile)
      .Add("sha256", Sha256Hex(run.CodeSetBytes))
      .Add("baud_rate", BaudText(run.Options.BaudIndex))
      .Text();
}

}  // namespace korvane::cli
