#include "tools/cli/Commands.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "device/ConfigImage.h"
#include "device/DeviceOperations.h"
#include "files/CodeSetFile.h"
#include "files/FileBytes.h"
#include "files/IniDocument.h"
#include "model/HexCodec.h"
#include "tools/cli/ImageFolder.h"
#include "tools/cli/Interrupt.h"
#include "tools/cli/Json.h"
#include "tools/cli/Messages.h"
#include "tools/cli/PortDiagnosis.h"
#include "tools/cli/PortSelection.h"
#include "tools/cli/PortSession.h"
#include "tools/cli/Progress.h"
#include "tools/cli/ResultsLog.h"
#include "tools/cli/Sha256.h"
#include "tools/cli/Verify.h"

namespace fs = std::filesystem;

namespace korvane::cli {
namespace {

constexpr const char* kBaudRates[] = {"4800", "9600", "19200", "57600", "115200"};

std::string BaudText(int index) {
  return index >= 0 && index <= 4 ? kBaudRates[index] : "none";
}

std::string SafeFileName(const std::string& text) {
  std::string name;
  for (char c : text) {
    name.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
  }
  return name;
}

std::string Diagnostic(const std::string& text) {
  return "korvane-cli: " + text;
}

// What one run shares between its ports.
struct RunSetup {
  const CliOptions& Options;
  Language Lang;
  std::ostream& Out;
  std::ostream& Err;
  std::unique_ptr<TProgressBoard> Board;
  std::unique_ptr<TResultsLog> Log;
  std::string CodeSetBytes;  // for the results log's checksum

  RunSetup(const CliOptions& options, std::ostream& out, std::ostream& err)
      : Options(options),
        Lang(ChooseLanguage(options.Lang, std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                            std::getenv("LANG"))),
        Out(out),
        Err(err),
        Board(std::make_unique<TProgressBoard>(err, BoardMode(options))) {}

  static TProgressBoard::Mode BoardMode(const CliOptions& options) {
    if (options.Level == Verbosity::Quiet) {
      return TProgressBoard::Mode::Silent;
    }
    return StandardErrorIsTerminal() ? TProgressBoard::Mode::Terminal : TProgressBoard::Mode::Lines;
  }
  void Note(const std::string& text) { Board->Note(Diagnostic(text)); }
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
  int Exit = kExitSuccess;
  std::string Phase = "opening";
  std::string Message;
  std::int64_t DurationMs = 0;
  std::vector<CodeDifference> Differences;
  bool PartlyWritten = false;
  int Baud = -1;  // read: the device's baud index
  CodeTable Codes;
};

int InterruptExit() {
  return kExitSignalBase + InterruptSignal();
}

int ExitFor(ProgramResult result) {
  switch (result) {
    case ProgramResult::Success:
      return kExitSuccess;
    case ProgramResult::PortClosed:
    case ProgramResult::Busy:
      return kExitPort;
    case ProgramResult::OverlongCode:
      return kExitOverlong;
    case ProgramResult::HandshakeFailed:
      return kExitHandshake;
    case ProgramResult::FileFault:
    case ProgramResult::ImageBusy:
    case ProgramResult::ImageUnreadable:
      return kExitImageFile;
    case ProgramResult::BlockFailed:
      return kExitBlock;
    case ProgramResult::Aborted:
      break;
  }
  return InterruptExit();
}

// Loads a code set file that must exist (the editor's open dialog would accept
// any name; a script naming a missing file has made a mistake).
bool LoadExistingCodeSet(const std::string& path, CodeTable& table, std::string& bytes,
                         std::string& error) {
  const FileContents contents = ReadFileBytes(path);
  if (contents.status == ReadStatus::kMissing) {
    error = "cannot read the code set file " + path + ": no such file";
    return false;
  }
  std::error_code code;
  if (contents.status == ReadStatus::kFailed || !fs::is_regular_file(path, code)) {
    error = "cannot read the code set file " + path + ": " +
            (contents.error.empty() ? std::string("not a regular file") : contents.error);
    return false;
  }
  std::string loadError;
  if (!LoadCodeSet(table, path, &loadError)) {
    error = "cannot read the code set file " + path + ": " + loadError;
    return false;
  }
  bytes = contents.bytes;
  return true;
}

// True when the file names at least one of the 32 code keys, empty or not.
bool HoldsAnyCodeKey(const CodeTable& table, const std::string& bytes) {
  if (table != CodeTable()) {
    return true;
  }
  const IniDocument document = IniDocument::Parse(bytes);
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      if (document.Find("Button" + std::to_string(button), SlotKey(slot))) {
        return true;
      }
    }
  }
  return false;
}

void WarnNonHexCodes(RunSetup& run, const CodeTable& table) {
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      const std::string& text = table.Text(button, slot);
      for (char c : text) {
        if (!IsHexDigit(c)) {
          run.Note("warning: " + run.Options.CodeSetFile + ": IO" + std::to_string(button) + " " +
                   SlotKey(slot) + " holds characters that are not hex digits: " + JsonQuote(text));
          break;
        }
      }
    }
  }
}

// The image file's problem in words: the cause the device layer found (the
// system's error text) and the way out.
std::string ImageFileText(const RunSetup& run, const DeviceContext& context, ProgramResult result) {
  const std::string wayOut = "; keep the image files elsewhere with --image-dir";
  if (result == ProgramResult::ImageBusy) {
    return DeviceText(kTextImageBusy, run.Lang) + " (" + context.ImagePath + ")" + wayOut;
  }
  const std::string cause = context.FaultCause.empty()
                                ? "the image file " + context.ImagePath + " could not be written"
                                : context.FaultCause;
  if (run.Lang == Language::Chinese) {
    return std::string(kTextFileFault) + " " + cause + wayOut;
  }
  return "nothing more was sent: " + cause + wayOut;
}

std::string FailureText(const RunSetup& run, ProgramResult result, TPortSession& session,
                        const TPortOperator& oper, const CodeTable& table) {
  if (result == ProgramResult::OverlongCode) {
    return OverlongText(table, run.Lang);
  }
  if (result == ProgramResult::FileFault || result == ProgramResult::ImageBusy ||
      result == ProgramResult::ImageUnreadable) {
    return ImageFileText(run, session.Context(), result);
  }
  return oper.Message();
}

void FinishOutcome(PortOutcome& outcome, const TPortOperator& oper, const TPortSession& session) {
  outcome.Phase = outcome.Exit == kExitSuccess ? "done" : oper.PhaseName();
  outcome.DurationMs = oper.ElapsedMs();
  if (outcome.Exit > kExitSignalBase) {
    outcome.Message = std::string("interrupted by ") +
                      (InterruptSignal() == kSignalTerminate ? "SIGTERM" : "SIGINT") + " during " +
                      oper.PhaseName();
  }
  if (outcome.Exit != kExitSuccess && outcome.Exit < kExitSignalBase && session.LineLost()) {
    outcome.Message += "; the line was lost (device unplugged?)";
  }
}

void VerifyDevice(RunSetup& run, TPortSession& session, TPortOperator& oper, const CodeTable& table,
                  PortOutcome& outcome) {
  oper.SetPhase(Phase::Verifying);
  CodeTable actual;
  int actualBaud = -1;
  const ReadResult read =
      ReadBackDevice(session.Context(), actual, [&](int index) { actualBaud = index; });
  if (read == ReadResult::Aborted) {
    outcome.Exit = InterruptExit();
    outcome.Message = "interrupted while verifying";
    return;
  }
  if (read != ReadResult::Success) {
    outcome.Exit = kExitReadLength;
    outcome.Message = "verify: " + DeviceText(kTextReadFailed, run.Lang);
    return;
  }
  outcome.Differences = CompareWithDevice(table, run.Options.BaudIndex, actual, actualBaud);
  if (outcome.Differences.empty()) {
    outcome.Message = DeviceText(kTextProgramSuccess, run.Lang) + ", verified";
    return;
  }
  outcome.Exit = kExitVerify;
  outcome.Message = "verify failed: " + std::to_string(outcome.Differences.size()) +
                    " difference(s) between the device and " + run.Options.CodeSetFile;
}

PortOutcome WriteOnePort(RunSetup& run, const CodeTable& table, const PortTarget& target,
                         const std::string& imagePath) {
  PortOutcome outcome;
  outcome.Target = target;
  TPortOperator oper(*run.Board, target.Label, run.Lang, run.Options.Verify);
  TPortSession session(target, imagePath, oper, run.Tracer());
  oper.SetPhase(Phase::Opening);
  if (const std::string problem = session.Open(); !problem.empty()) {
    outcome.Exit = kExitPort;
    outcome.Message = problem;
    FinishOutcome(outcome, oper, session);
    return outcome;
  }
  oper.SetPhase(Phase::Connecting);
  const ProgramResult result = ProgramDevice(session.Context(), table, run.Options.BaudIndex);
  outcome.Exit = ExitFor(result);
  outcome.Message = FailureText(run, result, session, oper, table);
  outcome.PartlyWritten = result != ProgramResult::Success && session.BlocksSent() > 0;
  if (result == ProgramResult::Success && run.Options.Verify) {
    VerifyDevice(run, session, oper, table, outcome);
  }
  FinishOutcome(outcome, oper, session);
  return outcome;
}

std::string ImagePathFor(const std::string& folder, const PortTarget& target, bool several) {
  return several ? folder + "Configuration-" + SafeFileName(target.Label) + ".bin"
                 : ConfigFilePathIn(folder);
}

std::string ResultWord(int exit) {
  if (exit == kExitSuccess) {
    return "ok";
  }
  return exit > kExitSignalBase ? "interrupted" : "failed";
}

std::string DifferencesJson(const std::vector<CodeDifference>& differences) {
  std::vector<std::string> items;
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
  if (command == Command::Write) {
    json.AddRaw("differences", DifferencesJson(outcome.Differences));
    json.Add("partly_written", outcome.PartlyWritten);
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
  std::string error;
  if (!run.Log->Append(line.Text(), error)) {
    run.Note("cannot append to the results log " + error);
  }
}

// Diagnostics on stderr; results on stdout (text or one JSON document).
int Report(RunSetup& run, const std::vector<PortOutcome>& outcomes,
           const std::string& jsonExtra = {}) {
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
      run.Out << outcome.Target.Label << ": failed (exit " << outcome.Exit << ")\n";
    }
  }
  if (InterruptSignal() != 0) {
    exit = InterruptExit();
  }
  if (run.Options.Json) {
    JsonObject document;
    document.Add("format", 1).Add("command", CommandName(run.Options.Action));
    if (!jsonExtra.empty()) {
      document.AddRaw("file", jsonExtra);
    }
    document.Add("exit", exit).AddRaw("ports", JsonArray(ports));
    run.Out << document.Text() << "\n";
  }
  run.Out << std::flush;
  return exit;
}

// Chooses the ports, the results log and the board before anything is sent.
int PrepareRun(RunSetup& run, PortSelection& selection) {
  selection = SelectPorts(run.Options.Ports, ListPortIdentities());
  if (!selection.Error.empty()) {
    run.Note(selection.Error);
    if (selection.Exit == kExitUsage) {
      run.Note("run 'korvane-cli " + CommandName(run.Options.Action) + " --help' for usage");
    }
    return selection.Exit;
  }
  if (!run.Options.LogFile.empty()) {
    run.Log = std::make_unique<TResultsLog>(run.Options.LogFile);
    std::string error;
    if (!run.Log->CheckWritable(error)) {
      run.Note("cannot open the results log " + error);
      return kExitFile;
    }
  }
  InstallInterruptHandlers();
  return kExitSuccess;
}

int LoadForWrite(RunSetup& run, CodeTable& table) {
  std::string error;
  if (!LoadExistingCodeSet(run.Options.CodeSetFile, table, run.CodeSetBytes, error)) {
    run.Note(error);
    return kExitFile;
  }
  if (!run.Options.AllowEmpty && !HoldsAnyCodeKey(table, run.CodeSetBytes)) {
    run.Note(run.Options.CodeSetFile +
             " holds none of the 32 code keys (sections Button1 to Button4, keys "
             "ButtonDownSend1-4 and ButtonUpSend1-4); nothing was sent. Give --allow-empty to "
             "program a device with no codes");
    return kExitFile;
  }
  WarnNonHexCodes(run, table);
  return kExitSuccess;
}

std::string FileJson(const RunSetup& run) {
  return JsonObject()
      .Add("path", run.Options.CodeSetFile)
      .Add("sha256", Sha256Hex(run.CodeSetBytes))
      .Add("baud_rate", BaudText(run.Options.BaudIndex))
      .Text();
}

}  // namespace

int RunPorts(const CliOptions& options, std::ostream& out, std::ostream& /*err*/) {
  const std::vector<PortIdentity> ports = ListPortIdentities();
  if (options.Json) {
    std::vector<std::string> items;
    for (const PortIdentity& port : ports) {
      items.push_back(PortJson(port));
    }
    out << JsonObject()
               .Add("format", 1)
               .Add("command", "ports")
               .AddRaw("ports", JsonArray(items))
               .Text()
        << "\n";
    return kExitSuccess;
  }
  for (const PortIdentity& port : ports) {
    out << PortLine(port) << "\n";
  }
  return kExitSuccess;
}

int RunWrite(const CliOptions& options, std::ostream& out, std::ostream& err) {
  RunSetup run(options, out, err);
  CodeTable table;
  if (const int exit = LoadForWrite(run, table); exit != kExitSuccess) {
    return exit;
  }
  PortSelection selection;
  if (const int exit = PrepareRun(run, selection); exit != kExitSuccess) {
    return exit;
  }
  TImageFolder folder;
  if (std::string error; !folder.Prepare(options.ImageDirectory, error)) {
    run.Note(error);
    return kExitImageFile;
  }
  const auto& targets = selection.Targets;
  std::vector<PortOutcome> outcomes(targets.size());
  std::vector<std::thread> workers;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    workers.emplace_back([&, i] {
      outcomes[i] = WriteOnePort(run, table, targets[i],
                                 ImagePathFor(folder.Path(), targets[i], targets.size() > 1));
    });
  }
  for (auto& worker : workers) {
    worker.join();
  }
  return Report(run, outcomes, FileJson(run));
}

int RunRead(const CliOptions& options, std::ostream& out, std::ostream& err) {
  RunSetup run(options, out, err);
  PortSelection selection;
  if (const int exit = PrepareRun(run, selection); exit != kExitSuccess) {
    return exit;
  }
  TImageFolder folder;  // read-back builds no image; the context still names one
  if (std::string error; !folder.Prepare({}, error)) {
    run.Note(error);
    return kExitImageFile;
  }
  PortOutcome outcome;
  outcome.Target = selection.Targets.front();
  TPortOperator oper(*run.Board, outcome.Target.Label, run.Lang, false);
  {
    TPortSession session(outcome.Target, ConfigFilePathIn(folder.Path()), oper, run.Tracer());
    if (std::string problem = session.Open(); !problem.empty()) {
      outcome.Exit = kExitPort;
      outcome.Message = problem;
    } else {
      const ReadResult result = ReadBackDevice(session.Context(), outcome.Codes,
                                               [&](int index) { outcome.Baud = index; });
      outcome.Exit = result == ReadResult::Success     ? kExitSuccess
                     : result == ReadResult::BadLength ? kExitReadLength
                     : result == ReadResult::Aborted   ? InterruptExit()
                                                       : kExitPort;
      outcome.Message = oper.Message();
    }
    FinishOutcome(outcome, oper, session);
  }
  const bool toStdout = options.Output.empty() || options.Output == "-";
  if (outcome.Exit == kExitSuccess) {
    outcome.Message =
        DeviceText(kTextReadSuccess, run.Lang) + ", baud rate " + BaudText(outcome.Baud);
    if (toStdout && !options.Json) {
      run.Board->Clear();
      out << CodeSetText(outcome.Codes) << std::flush;
      run.Note(outcome.Target.Label + ": " + outcome.Message);
      LogOutcome(run, outcome);
      return kExitSuccess;
    }
    if (!toStdout) {
      if (std::string error; !SaveCodeSet(outcome.Codes, options.Output, &error)) {
        outcome.Exit = kExitFile;
        outcome.Message = "cannot write " + options.Output + ": " + error;
      }
    }
  }
  return Report(run, {outcome});
}

int RunImage(const CliOptions& options, std::ostream& out, std::ostream& err) {
  RunSetup run(options, out, err);
  CodeTable table;
  std::string error;
  if (!LoadExistingCodeSet(options.CodeSetFile, table, run.CodeSetBytes, error)) {
    run.Note(error);
    return kExitFile;
  }
  if (!FindOverlongCodes(table).empty()) {
    run.Note(OverlongText(table, run.Lang));
    return kExitOverlong;
  }
  std::error_code code;
  if (fs::equivalent(options.CodeSetFile, options.Output, code)) {
    run.Note("the output " + options.Output + " is the code set file itself; name another file");
    return kExitFile;
  }
  if (!ReplaceFileBytes(options.Output, ComposeImage(table, options.BaudIndex), &error)) {
    run.Note("cannot write the image " + options.Output + ": " + error);
    return kExitFile;
  }
  out << "wrote " << options.Output << " (" << kImageSize << " bytes)\n";
  return kExitSuccess;
}

}  // namespace korvane::cli
