#include "cli/Commands.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "cli/CodeCheck.h"
#include "cli/ImageFolder.h"
#include "cli/Json.h"
#include "cli/Messages.h"
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
#include "files/IniDocument.h"
#include "files/IniFile.h"
#include "model/HexCodec.h"
#include "platform/Console.h"
#include "platform/FileBytes.h"
#include "platform/Interrupt.h"

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

int ExitFor(const TStatus& result) {
  if (result) {
    return kExitSuccess;
  }
  switch (result.Error().Id) {
    case TextId::kPortClosed:
    case TextId::kDeviceBusy:
      return kExitPort;
    case TextId::kOverlongCodes:
      return kExitOverlong;
    case TextId::kHandshakeFailed:
      return kExitHandshake;
    case TextId::kFileFault:
    case TextId::kImageBusy:
      return kExitImageFile;
    case TextId::kBlockFailed:
      return kExitBlock;
    default:
      break;
  }
  return InterruptExit();  // kOperationStopped
}

// Loads a code set file that must exist (the editor's open dialog would accept
// any name; a script naming a missing file has made a mistake) into `table`;
// gives the file's bytes.
TResult<std::string> LoadExistingCodeSet(const RunSetup& run, CodeTable& table) {
  const std::string& path = run.Options.CodeSetFile;
  const auto refused = [&](const std::string& why) {
    return MakeError(TextId::kCliCodeSetUnreadable, {path, why});
  };
  const TResult<std::optional<std::string>> contents = ReadFileBytes(path);
  if (contents && !contents.Value()) {
    return refused(run.Say(TextId::kCliNoSuchFile));
  }
  // The read itself refuses what is not a regular file: asking the file
  // system by name again would misread a Windows name in the ANSI code page.
  if (!contents) {
    return refused(contents.Error().Id == TextId::kFileNotRegular
                       ? run.Say(TextId::kCliNotRegularFile)
                       : contents.Error().Words(run.Lang));
  }
  if (const TStatus loaded = LoadCodeSet(table, path); !loaded) {
    return refused(loaded.Error().Words(run.Lang));
  }
  return *contents.Value();
}

// True when the file names at least one of the 32 code keys, empty or not. The
// keys are looked for in the text the file's encoding gives, as the codes were
// loaded: a UTF-16 file's raw bytes hold none.
bool HoldsAnyCodeKey(const CodeTable& table, const std::string& path) {
  if (table != CodeTable()) {
    return true;
  }
  IniFile file(path);
  if (const TResult<bool> loaded = file.Load(); !loaded || !loaded.Value()) {
    return false;
  }
  const IniDocument& document = file.Document();
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      if (document.Find("Button" + std::to_string(button), SlotKey(slot))) {
        return true;
      }
    }
  }
  return false;
}

// What a refusal left undone, in the words of the command.
std::string NothingDone(const RunSetup& run) {
  return run.Say(run.Options.Action == Command::Image ? TextId::kCliNoImageWritten
                                                      : TextId::kCliNothingSent);
}

// Codes that are not hex text are refused, each one named with its value,
// unless --lenient asks for the editor's conversion: then each is warned about.
bool CheckCodes(RunSetup& run, const CodeTable& table) {
  const std::vector<BadCode> bad = FindBadCodes(table);
  for (const BadCode& code : bad) {
    const std::string line = run.Options.CodeSetFile + ": " + BadCodeText(code, run.Lang);
    run.Note(run.Options.Lenient ? run.Say(TextId::kCliWarning, {line}) : line);
  }
  if (bad.empty() || run.Options.Lenient) {
    return true;
  }
  run.Note(TextId::kCliCodesNotHex,
           {std::to_string(bad.size()), run.Options.CodeSetFile, NothingDone(run)});
  return false;
}

// The image file's problem in words: the cause the device layer found (the
// system's error text) and the way out.
std::string ImageFileText(const RunSetup& run, const DeviceContext& context, const TError& error) {
  const std::string wayOut = Text(TextId::kImageDirHint, run.Lang);
  if (error.Id == TextId::kImageBusy) {
    return error.Words(run.Lang) + " (" + context.ImagePath + ")" + wayOut;
  }
  const std::string cause = error.Args.empty() || error.Args[0].empty()
                                ? Text(TextId::kImageNotWritten, run.Lang, {context.ImagePath})
                                : ArgWords(error.Args[0], run.Lang);
  return Text(TextId::kImageFileFault, run.Lang, {cause}) + wayOut;
}

std::string FailureText(const RunSetup& run, const TError& error, TPortSession& session,
                        const CodeTable& table) {
  switch (error.Id) {
    case TextId::kOverlongCodes:
      return OverlongText(table, run.Lang, run.Options.CodeSetFile);
    case TextId::kFileFault:
    case TextId::kImageBusy:
      return ImageFileText(run, session.Context(), error);
    case TextId::kHandshakeFailed:
      return error.Words(run.Lang) + "; " + HandshakeReplyText(error.Args.at(0), run.Lang);
    case TextId::kBlockFailed:
      return error.Words(run.Lang) +
             (error.Args.empty() ? ""
                                 : "; " + Text(TextId::kMisplacedAnswer, run.Lang, error.Args));
    default:
      return error.Words(run.Lang);
  }
}

// A lost line ends the operation at the wait it happens in: the device is
// gone, so whatever failure that caused, the loss is the result.
void FinishOutcome(PortOutcome& outcome, const TPortOperator& oper, const TPortSession& session) {
  outcome.Phase = outcome.Exit == kExitSuccess ? "done" : oper.PhaseName();
  outcome.DurationMs = oper.ElapsedMs();
  if (outcome.Exit == kExitSuccess) {
    return;
  }
  if (outcome.Exit > kExitSignalBase) {
    const char* signal = InterruptSignal() == kSignalTerminate ? "SIGTERM" : "SIGINT";
    outcome.Message = oper.Say(TextId::kCliInterruptedDuring, {signal, oper.PhaseText()});
  } else if (session.LineLost() && InterruptSignal() == 0) {
    outcome.Exit = kExitLineLost;
    outcome.Message = oper.Say(TextId::kCliLineLost, {oper.PhaseText()});
  }
}

// Reads the device back and compares it with the table and the baud rate of
// the run; the outcome's exit is success only when the two are equal.
void CompareDevice(RunSetup& run, TPortSession& session, const CodeTable& table,
                   PortOutcome& outcome) {
  CodeTable actual;
  int actualBaud = -1;
  const TStatus read =
      ReadBackDevice(session.Context(), actual, [&](int index) { actualBaud = index; });
  if (!read && read.Error().Id == TextId::kOperationStopped) {
    outcome.Exit = InterruptExit();
    outcome.Message = run.Say(TextId::kCliInterruptedVerifying);
    return;
  }
  if (!read) {
    outcome.Exit = read.Error().Id == TextId::kReadFailed ? kExitReadLength : kExitPort;
    outcome.Message = run.Say(TextId::kCliVerifyReadFailed, {Text(TextId::kReadFailed, run.Lang)});
    return;
  }
  outcome.Differences = CompareWithDevice(table, run.Options.BaudIndex, actual, actualBaud);
  if (outcome.Differences.empty()) {
    outcome.Exit = kExitSuccess;
    outcome.Verified = true;
    return;
  }
  outcome.Exit = kExitVerify;
  outcome.Message = run.Say(TextId::kCliVerifyDifferences,
                            {std::to_string(outcome.Differences.size()), run.Options.CodeSetFile});
}

void VerifyDevice(RunSetup& run, TPortSession& session, TPortOperator& oper, const CodeTable& table,
                  PortOutcome& outcome) {
  oper.SetPhase(Phase::Verifying);
  CompareDevice(run, session, table, outcome);
  if (outcome.Exit == kExitSuccess) {
    outcome.Message =
        run.Say(TextId::kCliProgrammedVerified, {Text(TextId::kProgramSuccess, run.Lang)});
  } else if (outcome.Exit == kExitReadLength) {
    outcome.Message = run.Say(TextId::kCliBlocksAcknowledged, {outcome.Message});
  }
}

}  // namespace

PortOutcome WriteOnePort(RunSetup& run, const CodeTable& table, const PortTarget& target,
                         const std::string& imagePath, TPortOperator& oper) {
  PortOutcome outcome;
  outcome.Target = target;
  TPortSession session(target, imagePath, oper, run.Tracer());
  oper.SetPhase(Phase::Opening);
  if (const TStatus opened = session.Open(); !opened) {
    outcome.Exit = kExitPort;
    outcome.Message = opened.Error().Words(run.Lang);
    FinishOutcome(outcome, oper, session);
    return outcome;
  }
  oper.SetPhase(Phase::Connecting);
  const TStatus result = ProgramDevice(session.Context(), table, run.Options.BaudIndex);
  outcome.Exit = ExitFor(result);
  outcome.Message = result ? oper.Message() : FailureText(run, result.Error(), session, table);
  outcome.PartlyWritten = !result && session.BlocksSent() > 0;
  if (result && run.Options.Verify) {
    VerifyDevice(run, session, oper, table, outcome);
  }
  FinishOutcome(outcome, oper, session);
  return outcome;
}

std::string ImagePathFor(const std::string& folder, const PortTarget& target, bool several) {
  return several ? folder + "Configuration-" + SafeFileName(target.Label) + ".bin"
                 : ConfigFilePathIn(folder);
}

// Opens the results log first, so that a run refused later still leaves its
// line.
int OpenResultsLog(RunSetup& run) {
  if (!run.Options.LogFile.empty()) {
    run.Log = std::make_unique<TResultsLog>(run.Options.LogFile);
    if (const TStatus writable = run.Log->CheckWritable(); !writable) {
      run.Note(writable.Error().Words(run.Lang));
      return kExitFile;
    }
  }
  return kExitSuccess;
}

// Chooses the ports before anything is sent.
int PrepareRun(RunSetup& run, PortSelection& selection) {
  TResult<PortSelection> selected = SelectPorts(run.Options.Ports, ListPortIdentities());
  if (!selected) {
    const std::string message = selected.Error().Words(run.Lang);
    const int exit = SelectionExit(selected.Error());
    run.Note(message);
    LogRefusedRun(run, "selecting", exit, message);
    if (exit == kExitUsage) {
      run.Note(TextId::kCliHelpHint, {CommandName(run.Options.Action)});
    }
    return exit;
  }
  selection = std::move(selected).Value();
  InstallInterruptHandlers();
  return kExitSuccess;
}

// A reply whose areas claim over 63 bytes is not kept: this tool never
// writes such an area.
void RefuseOverlongAreas(const RunSetup& run, const std::string& replyHex, PortOutcome& outcome) {
  const std::string areas = OverlongAreasText(replyHex, run.Lang);
  if (areas.empty()) {
    return;
  }
  outcome.Exit = kExitReadLength;
  outcome.Message = run.Say(TextId::kCliReplyOverlongAreas, {areas});
}

int RefuseFile(RunSetup& run, const std::string& message) {
  run.Note(message);
  LogRefusedRun(run, "loading", kExitFile, message);
  return kExitFile;
}

// Loads the code set file of a command that programs or builds an image and
// refuses what would put bytes into a device that the file never stated.
int LoadForWrite(RunSetup& run, CodeTable& table) {
  TResult<std::string> bytes = LoadExistingCodeSet(run, table);
  if (!bytes) {
    return RefuseFile(run, bytes.Error().Words(run.Lang));
  }
  run.CodeSetBytes = std::move(bytes).Value();
  if (!run.Options.AllowEmpty && !HoldsAnyCodeKey(table, run.Options.CodeSetFile)) {
    return RefuseFile(run,
                      run.Say(TextId::kCliNoCodeKeys, {run.Options.CodeSetFile, NothingDone(run)}));
  }
  if (!CheckCodes(run, table)) {
    LogRefusedRun(run, "loading", kExitFile,
                  run.Say(TextId::kCliBadCodesRefused, {NothingDone(run)}));
    return kExitFile;
  }
  run.ImageSha256 = Sha256Hex(ComposeImage(table, run.Options.BaudIndex));
  return kExitSuccess;
}

// Opens a session on `target` (read-back builds no image, so it names none),
// runs `work` on it when the port opened, and finishes the outcome.
static PortOutcome OnOpenedPort(
    RunSetup& run, const PortTarget& target,
    const std::function<void(TPortSession&, const TPortOperator&, PortOutcome&)>& work) {
  PortOutcome outcome;
  outcome.Target = target;
  TPortOperator oper(*run.Board, target.Label, run.Lang, false);
  TPortSession session(target, std::string(), oper, run.Tracer());
  if (const TStatus opened = session.Open(); !opened) {
    outcome.Exit = kExitPort;
    outcome.Message = opened.Error().Words(run.Lang);
  } else {
    work(session, oper, outcome);
  }
  FinishOutcome(outcome, oper, session);
  return outcome;
}

int OpenLogAndLoad(RunSetup& run, CodeTable& table) {
  // The log first, so that a refused file still leaves its line.
  if (const int exit = OpenResultsLog(run); exit != kExitSuccess) {
    return exit;
  }
  return LoadForWrite(run, table);
}

int RunPorts(const CliOptions& options, std::ostream& out, std::ostream& err) {
  const std::vector<PortIdentity> ports = ListPortIdentities();
  if (options.Json) {
    Json items = Json::array();
    for (const PortIdentity& port : ports) {
      items.push_back(PortJson(port));
    }
    out << JsonObject()
               .Add("format", 1)
               .Add("command", "ports")
               .Add("ports", std::move(items))
               .Text()
        << "\n";
  } else {
    for (const PortIdentity& port : ports) {
      out << PortLine(port) << "\n";
    }
  }
  if (const TStatus flushed = FlushedWhole(out); !flushed) {
    const Language language = LanguageOf(options);
    err << Diagnostic(Text(TextId::kCliStdoutPortList, language, {flushed.Error().Words(language)}))
        << "\n";
    return kExitFile;
  }
  return kExitSuccess;
}

int RunWrite(const CliOptions& options, std::ostream& out, std::ostream& err) {
  RunSetup run(options, out, err);
  CodeTable table;
  if (const int exit = OpenLogAndLoad(run, table); exit != kExitSuccess) {
    return exit;
  }
  PortSelection selection;
  if (const int exit = PrepareRun(run, selection); exit != kExitSuccess) {
    return exit;
  }
  TImageFolder folder;
  if (const TStatus prepared = folder.Prepare(options.ImageDirectory); !prepared) {
    run.Note(prepared.Error().Words(run.Lang));
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
        outcomes[i].Message = run.Say(TextId::kCliUnexpectedError, {error.what()});
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
  if (const int exit = OpenResultsLog(run); exit != kExitSuccess) {
    return exit;
  }
  PortSelection selection;
  if (const int exit = PrepareRun(run, selection); exit != kExitSuccess) {
    return exit;
  }
  PortOutcome outcome =
      OnOpenedPort(run, selection.Targets.front(),
                   [&](TPortSession& session, const TPortOperator& oper, PortOutcome& read) {
                     const TStatus result = ReadBackDevice(session.Context(), read.Codes,
                                                           [&](int index) { read.Baud = index; });
                     const TextId failure = result ? TextId::kNone : result.Error().Id;
                     read.Exit = failure == TextId::kNone               ? kExitSuccess
                                 : failure == TextId::kReadFailed       ? kExitReadLength
                                 : failure == TextId::kOperationStopped ? InterruptExit()
                                                                        : kExitPort;
                     read.Message = oper.Message();
                     if (result && !options.AcceptOverlong) {
                       RefuseOverlongAreas(run, session.Context().Log.Text(), read);
                     }
                   });
  const bool toStdout = options.Output.empty() || options.Output == "-";
  if (outcome.Exit == kExitSuccess) {
    // A baud byte outside the list (the editor writes FF for an unnamed rate) names no rate.
    const std::string read = Text(TextId::kReadSuccess, run.Lang);
    outcome.Message = outcome.Baud < 0
                          ? run.Say(TextId::kCliReadNoBaud, {read})
                          : run.Say(TextId::kCliReadBaud, {read, BaudText(outcome.Baud)});
    if (toStdout && !options.Json) {
      run.Board->Clear();
      out << CodeSetText(outcome.Codes);
      const TStatus flushed = FlushedWhole(out);
      if (!flushed) {
        run.Note(TextId::kCliStdoutCodes, {flushed.Error().Words(run.Lang)});
      }
      run.Note(outcome.Target.Label + ": " + outcome.Message);
      const bool logged = LogOutcome(run, outcome);
      return flushed && logged ? kExitSuccess : kExitUnrecorded;
    }
    if (!toStdout) {
      if (const TStatus saved = SaveCodeSet(outcome.Codes, options.Output); !saved) {
        // The device was read: a script must not take this for "nothing happened".
        outcome.Exit = kExitUnrecorded;
        outcome.Message =
            run.Say(TextId::kCliReadNotSaved, {outcome.Message, saved.Error().Words(run.Lang)});
      }
    }
  }
  return Report(run, {outcome});
}

int RunVerify(const CliOptions& options, std::ostream& out, std::ostream& err) {
  RunSetup run(options, out, err);
  CodeTable table;
  if (const int exit = OpenLogAndLoad(run, table); exit != kExitSuccess) {
    return exit;
  }
  PortSelection selection;
  if (const int exit = PrepareRun(run, selection); exit != kExitSuccess) {
    return exit;
  }
  const PortOutcome outcome =
      OnOpenedPort(run, selection.Targets.front(),
                   [&](TPortSession& session, const TPortOperator&, PortOutcome& compared) {
                     CompareDevice(run, session, table, compared);
                     if (compared.Exit == kExitSuccess) {
                       compared.Message = run.Say(TextId::kCliVerified, {run.Options.CodeSetFile});
                     }
                   });
  return Report(run, {outcome}, FileJson(run));
}

int RunImage(const CliOptions& options, std::ostream& out, std::ostream& err) {
  RunSetup run(options, out, err);
  CodeTable table;
  if (const int exit = LoadForWrite(run, table); exit != kExitSuccess) {
    return exit;
  }
  if (!FindOverlongCodes(table).empty()) {
    run.Note(OverlongText(table, run.Lang, options.CodeSetFile));
    return kExitOverlong;
  }
  const std::string image = ComposeImage(table, options.BaudIndex);
  if (options.Output == "-") {
    SetBinaryStandardOutput();
    out << image;
  } else {
    std::error_code code;
    if (fs::equivalent(options.CodeSetFile, options.Output, code)) {
      run.Note(TextId::kCliOutputIsCodeSet, {options.Output});
      return kExitFile;
    }
    if (const TStatus written = ReplaceFileBytes(options.Output, image); !written) {
      run.Note(TextId::kCliImageNotWritten, {written.Error().Words(run.Lang)});
      return kExitFile;
    }
    out << run.Say(TextId::kCliImageWritten, {options.Output, std::to_string(kImageSize)}) << "\n";
  }
  if (const TStatus flushed = FlushedWhole(out); !flushed) {
    run.Note(TextId::kCliStdoutFailed, {flushed.Error().Words(run.Lang)});
    return kExitFile;
  }
  return kExitSuccess;
}

TStatus FlushedWhole(std::ostream& out) {
  errno = 0;
  out.flush();
  if (out.good()) {
    return {};
  }
  if (errno == 0) {
    return MakeError(TextId::kCliOutputLost);
  }
  return SystemFailure(std::error_code(errno, std::generic_category()));
}

}  // namespace korvane::cli
