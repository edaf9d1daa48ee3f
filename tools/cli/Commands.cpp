#include "cli/Commands.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "cli/ImageFolder.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "cli/Messages.h"
#include "cli/PortDiagnosis.h"
#include "cli/PortSelection.h"
#include "cli/PortSession.h"
#include "cli/Progress.h"
#include "cli/ResultsLog.h"
#include "cli/RunReport.h"
#include "cli/Sha256.h"
#include "cli/UnitProgramming.h"
#include "cli/Verify.h"
#include "device/ConfigImage.h"
#include "device/DeviceOperations.h"
#include "files/CodeSetFile.h"
#include "files/FileBytes.h"
#include "files/IniDocument.h"
#include "model/HexCodec.h"

namespace fs = std::filesystem;

namespace korvane::cli {
namespace {

std::string SafeFileName(const std::string& text) {
  std::string name;
  for (char c : text) {
    name.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
  }
  return name;
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
  if (const TStatus loaded = LoadCodeSet(table, path); !loaded) {
    error = "cannot read the code set file " + path + ": " + loaded.Message();
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

// Reads the device back and compares it with the table and the baud rate of
// the run; the outcome's exit is success only when the two are equal.
void CompareDevice(RunSetup& run, TPortSession& session, const CodeTable& table,
                   PortOutcome& outcome) {
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
    outcome.Exit = read == ReadResult::BadLength ? kExitReadLength : kExitPort;
    outcome.Message = "verify: " + DeviceText(kTextReadFailed, run.Lang);
    return;
  }
  outcome.Differences = CompareWithDevice(table, run.Options.BaudIndex, actual, actualBaud);
  if (outcome.Differences.empty()) {
    outcome.Exit = kExitSuccess;
    return;
  }
  outcome.Exit = kExitVerify;
  outcome.Message = "verify failed: " + std::to_string(outcome.Differences.size()) +
                    " difference(s) between the device and " + run.Options.CodeSetFile;
}

void VerifyDevice(RunSetup& run, TPortSession& session, TPortOperator& oper, const CodeTable& table,
                  PortOutcome& outcome) {
  oper.SetPhase(Phase::Verifying);
  CompareDevice(run, session, table, outcome);
  if (outcome.Exit == kExitSuccess) {
    outcome.Message = DeviceText(kTextProgramSuccess, run.Lang) + ", verified";
  }
}

}  // namespace

PortOutcome WriteOnePort(RunSetup& run, const CodeTable& table, const PortTarget& target,
                         const std::string& imagePath, TPortOperator& oper) {
  PortOutcome outcome;
  outcome.Target = target;
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

// Chooses the ports and opens the results log before anything is sent.
int PrepareRun(RunSetup& run, PortSelection& selection) {
  selection = SelectPorts(run.Options.Ports, ListPortIdentities());
  if (!selection.Error.empty()) {
    run.Note(selection.Error);
    if (selection.Exit == kExitUsage) {
      run.Note("run 'korvane-cli " + CommandName(run.Options.Action) + " --help' for usage");
    }
    return selection.Exit;
  }
  if (const int exit = OpenResultsLog(run); exit != kExitSuccess) {
    return exit;
  }
  InstallInterruptHandlers();
  return kExitSuccess;
}

int OpenResultsLog(RunSetup& run) {
  if (run.Options.LogFile.empty()) {
    return kExitSuccess;
  }
  run.Log = std::make_unique<TResultsLog>(run.Options.LogFile);
  std::string error;
  if (!run.Log->CheckWritable(error)) {
    run.Note("cannot open the results log " + error);
    return kExitFile;
  }
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

int RunPorts(const CliOptions& options, std::ostream& out, std::ostream& /*err*/) {
  const std::vector<PortIdentity> ports = ListPortIdentities();
  if (options.Json) {
    std::vector<std::string> items;
    items.reserve(ports.size());
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
  if (const TStatus prepared = folder.Prepare(options.ImageDirectory); !prepared) {
    run.Note(prepared.Message());
    return kExitImageFile;
  }
  const auto& targets = selection.Targets;
  std::vector<PortOutcome> outcomes(targets.size());
  std::vector<std::thread> workers;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    workers.emplace_back([&, i] {
      // An exception must not end the process while other ports are mid-block.
      try {
        TPortOperator oper(*run.Board, targets[i].Label, run.Lang, run.Options.Verify);
        outcomes[i] =
            WriteOnePort(run, table, targets[i],
                         ImagePathFor(folder.Path(), targets[i], targets.size() > 1), oper);
      } catch (const std::exception& error) {
        outcomes[i].Target = targets[i];
        outcomes[i].Exit = kExitUnexpected;
        outcomes[i].Message = std::string("unexpected error: ") + error.what();
      }
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
  PortOutcome outcome;
  outcome.Target = selection.Targets.front();
  TPortOperator oper(*run.Board, outcome.Target.Label, run.Lang, false);
  {
    // Read-back builds no image: the session names none.
    TPortSession session(outcome.Target, std::string(), oper, run.Tracer());
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
      if (const TStatus saved = SaveCodeSet(outcome.Codes, options.Output); !saved) {
        outcome.Exit = kExitFile;
        outcome.Message = "cannot write " + options.Output + ": " + saved.Message();
      }
    }
  }
  return Report(run, {outcome});
}

int RunVerify(const CliOptions& options, std::ostream& out, std::ostream& err) {
  RunSetup run(options, out, err);
  CodeTable table;
  if (const int exit = LoadForWrite(run, table); exit != kExitSuccess) {
    return exit;
  }
  PortSelection selection;
  if (const int exit = PrepareRun(run, selection); exit != kExitSuccess) {
    return exit;
  }
  PortOutcome outcome;
  outcome.Target = selection.Targets.front();
  TPortOperator oper(*run.Board, outcome.Target.Label, run.Lang, false);
  TPortSession session(outcome.Target, std::string(), oper, run.Tracer());
  if (std::string problem = session.Open(); !problem.empty()) {
    outcome.Exit = kExitPort;
    outcome.Message = problem;
  } else {
    CompareDevice(run, session, table, outcome);
    if (outcome.Exit == kExitSuccess) {
      outcome.Message = "verified, the device holds " + run.Options.CodeSetFile;
    }
  }
  FinishOutcome(outcome, oper, session);
  return Report(run, {outcome}, FileJson(run));
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
  if (const TStatus written =
          ReplaceFileBytes(options.Output, ComposeImage(table, options.BaudIndex));
      !written) {
    run.Note("cannot write the image " + options.Output + ": " + written.Message());
    return kExitFile;
  }
  out << "wrote " << options.Output << " (" << kImageSize << " bytes)\n";
  return kExitSuccess;
}

}  // namespace korvane::cli
