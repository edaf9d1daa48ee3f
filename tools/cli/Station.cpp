#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "cli/Commands.h"
#include "cli/ImageFolder.h"
#include "cli/Json.h"
#include "cli/RunReport.h"
#include "cli/StationSlots.h"
#include "cli/StationTerminal.h"
#include "cli/UnitProgramming.h"
#include "platform/Console.h"
#include "platform/FileBytes.h"
#include "platform/Interrupt.h"

namespace korvane::cli {
namespace {

// How often the ports are listed anew while slots wait for a unit.
constexpr std::chrono::milliseconds kRescan{250};
constexpr int kEventFormat = 1;

// Linux names the console on the kernel command line; elsewhere the file is
// absent and no port is held back.
std::vector<std::string> SystemConsoles() {
  const TResult<std::optional<std::string>> cmdline = ReadFileBytes("/proc/cmdline");
  return ConsoleNames(cmdline && cmdline.Value() ? *cmdline.Value() : std::string());
}

std::string Seconds(std::int64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(ms) / 1000.0);
  return text;
}

struct SlotCounts {
  int Ok = 0;
  int Failed = 0;
  int Interrupted = 0;
};

// One slot's thread and what the operator sees of it.
struct SlotState {
  explicit SlotState(const TSlotTable::Slot& slot) : Slot(slot) {}
  const TSlotTable::Slot& Slot;
  std::size_t Row = 0;
  SlotCounts Counts;
  std::int64_t Units = 0;
  std::string Status;
  std::string Last;
  std::string Refused;   // the refusal last reported
  std::string Instance;  // the device node of the unit last programmed
  bool Confirmed = false;
  bool Done = false;
  std::thread Worker;
};

// A programming station: every slot programs, verifies and logs the units
// that arrive at it, one after another, until the operator interrupts (or,
// with --once, after one unit each). The main thread lists the ports and
// wakes the slots; each slot runs its units on its own thread.
class TStation {
 public:
  TStation(RunSetup& run, const CodeTable& table, std::string imageFolder)
      : run_(run),
        table_(table),
        imageFolder_(std::move(imageFolder)),
        slots_(run.Options.Ports, run.Options.Matches, run.Options.IncludeVirtual, SystemConsoles(),
               run.Lang),
        rows_(!run.Options.Json && StandardErrorIsTerminal()),
        events_(run.Options.Json || !StandardOutputIsTerminal()) {}

  int Run();

 private:
  bool Stopping() const { return InterruptSignal() != 0; }
  bool AllDone() const;
  void StartNewSlots();
  void ApplyKeys(const std::string& keys);
  void Cycle(SlotState& state);
  std::optional<PortIdentity> AwaitDevice(SlotState& state, std::unique_lock<std::mutex>& guard);
  void AwaitRemoval(SlotState& state, std::unique_lock<std::mutex>& guard);
  PortOutcome ProgramUnit(SlotState& state, const PortIdentity& device, std::int64_t unit);
  void Record(SlotState& state, PortOutcome& outcome);
  void ShowUnit(SlotState& state, const TPortOperator& oper, std::int64_t unit, bool newPhase);
  JsonObject Event(const char* name, const SlotState& state) const;
  void Emit(const JsonObject& event);
  void SetStatus(SlotState& state, const std::string& status, bool newPhase = true);
  int Summary();

  RunSetup& run_;
  const CodeTable& table_;
  std::string imageFolder_;
  TSlotTable slots_;
  bool rows_;    // a row per slot on the terminal on stderr
  bool events_;  // JSON lines on stdout
  TKeyReader keys_;
  std::mutex lock_;  // guards everything below and the slot table
  std::condition_variable changed_;
  std::deque<SlotState> states_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

int TStation::Run() {
  if (run_.Options.Confirm) {
    keys_.Start(!run_.Options.ConfirmKeys.empty());
  }
  std::unique_lock guard(lock_);
  while (!Stopping() && !(run_.Options.Once && AllDone())) {
    guard.unlock();
    const std::vector<PortIdentity> listed = ListPortIdentities();
    const std::string pressed = keys_.Take();
    guard.lock();
    slots_.Update(listed);
    StartNewSlots();
    ApplyKeys(pressed);
    changed_.notify_all();
    changed_.wait_for(guard, kRescan, [&] { return run_.Options.Once && AllDone(); });
  }
  guard.unlock();
  changed_.notify_all();
  for (SlotState& state : states_) {
    state.Worker.join();
  }
  return Summary();
}

bool TStation::AllDone() const {
  return !states_.empty() &&
         std::all_of(states_.begin(), states_.end(), [](const SlotState& s) { return s.Done; });
}

void TStation::StartNewSlots() {
  for (std::size_t i = states_.size(); i < slots_.Slots().size(); ++i) {
    const TSlotTable::Slot& slot = slots_.Slots()[i];
    SlotState& state = states_.emplace_back(slot);
    state.Row = run_.Board->AddRow(run_.Say(TextId::kCliSlot, {std::to_string(slot.Number)}));
    state.Worker = std::thread([this, &state] {
      // An exception must not end the process while other slots are mid-block.
      try {
        Cycle(state);
      } catch (const std::exception& error) {
        run_.Note(TextId::kCliSlotUnexpected, {std::to_string(state.Slot.Number), error.what()});
        std::lock_guard guard(lock_);
        state.Done = true;
        changed_.notify_all();
      }
    });
  }
}

// Enter confirms a unit on every slot; with --confirm=KEYS the n-th key
// confirms slot n.
void TStation::ApplyKeys(const std::string& keys) {
  const std::string& named = run_.Options.ConfirmKeys;
  for (char key : keys) {
    for (SlotState& state : states_) {
      const std::size_t index = static_cast<std::size_t>(state.Slot.Number - 1);
      if (named.empty() ? (key == '\n' || key == '\r')
                        : (index < named.size() && named[index] == key)) {
        state.Confirmed = true;
      }
    }
  }
}

void TStation::Cycle(SlotState& state) {
  std::unique_lock guard(lock_);
  while (!Stopping()) {
    state.Confirmed = false;  // a key pressed before the slot was armed counts for nothing
    Emit(Event("slot_armed", state));
    SetStatus(state, run_.Say(run_.Options.Confirm ? TextId::kCliWaitingNextUnit
                                                   : TextId::kCliWaitingDevice));
    const std::optional<PortIdentity> device = AwaitDevice(state, guard);
    if (!device) {
      break;
    }
    const std::int64_t unit = ++state.Units;
    state.Instance = state.Slot.Instance;
    Emit(Event("device_found", state)
             .Add("unit", unit)
             .Add("port", device->Name)
             .Add("path", device->Path));
    guard.unlock();
    PortOutcome outcome = ProgramUnit(state, *device, unit);
    guard.lock();
    Record(state, outcome);
    if (Stopping() || run_.Options.Once) {
      break;
    }
    if (!run_.Options.Confirm) {
      AwaitRemoval(state, guard);
    }
  }
  state.Done = true;
  changed_.notify_all();
}

std::optional<PortIdentity> TStation::AwaitDevice(SlotState& state,
                                                  std::unique_lock<std::mutex>& guard) {
  for (;;) {
    if (Stopping()) {
      return std::nullopt;
    }
    const TSlotTable::Slot& slot = state.Slot;
    if (slot.Refused != state.Refused) {
      state.Refused = slot.Refused;
      if (!slot.Refused.empty()) {
        Emit(Event("device_refused", state).Add("reason", slot.Refused));
        SetStatus(state, run_.Say(TextId::kCliRefused, {slot.Refused}));
      }
    }
    if (slot.Device && (!run_.Options.Confirm || state.Confirmed)) {
      return slot.Device;
    }
    changed_.wait(guard);
  }
}

// A unit left in place is never programmed twice: the slot is armed again
// only once its device has gone, or leads to another device node (a unit
// swapped faster than the ports are listed).
void TStation::AwaitRemoval(SlotState& state, std::unique_lock<std::mutex>& guard) {
  changed_.wait(guard, [&] {
    return Stopping() || !state.Slot.Device || state.Slot.Instance != state.Instance;
  });
  if (!Stopping()) {
    Emit(Event("device_removed", state));
  }
}

PortOutcome TStation::ProgramUnit(SlotState& state, const PortIdentity& device, std::int64_t unit) {
  const PortTarget target{device.Name, "//./" + device.Name, device};
  TProgressBoard unseen(run_.Err, TProgressBoard::Mode::Silent);
  TPortOperator oper(unseen, target.Label, run_.Lang, true);
  oper.OnShow = [&](bool newPhase) { ShowUnit(state, oper, unit, newPhase); };
  const std::string image =
      imageFolder_ + "Configuration-slot" + std::to_string(state.Slot.Number) + ".bin";
  PortOutcome outcome;
  try {
    outcome = WriteOnePort(run_, table_, target, image, oper);
  } catch (const std::exception& error) {
    outcome.Target = target;
    outcome.Exit = kExitUnexpected;
    outcome.Message = run_.Say(TextId::kCliUnexpectedError, {error.what()});
  }
  outcome.Slot = state.Slot.Number;
  outcome.Unit = unit;
  return outcome;
}

void TStation::ShowUnit(SlotState& state, const TPortOperator& oper, std::int64_t unit,
                        bool newPhase) {
  std::lock_guard guard(lock_);
  if (newPhase) {
    Emit(Event("phase", state)
             .Add("unit", unit)
             .Add("phase", oper.PhaseName())
             .Add("percent", oper.Percent()));
  }
  SetStatus(state, oper.PhaseText() + " " + std::to_string(oper.Percent()) + "%", newPhase);
}

void TStation::Record(SlotState& state, PortOutcome& outcome) {
  std::string shown = outcome.Message;  // "interrupted by SIGINT during ..." says so itself
  TextId last = TextId::kCliUnitOk;
  if (outcome.Exit > kExitSignalBase) {
    ++state.Counts.Interrupted;
    last = TextId::kCliUnitInterruptedIn;
  } else if (outcome.Exit != kExitSuccess) {
    ++state.Counts.Failed;
    shown = run_.Say(TextId::kCliUnitFailed, {outcome.Message});
    last = TextId::kCliUnitFailedIn;
  } else {
    ++state.Counts.Ok;
  }
  if (outcome.PartlyWritten) {
    shown = run_.Say(TextId::kCliUnitPartly, {shown});
  }
  LogOutcome(run_, outcome);
  Emit(Event("result", state)
           .Add("unit", outcome.Unit)
           .Add("outcome", OutcomeJson(outcome, Command::Station)));
  state.Last = run_.Say(last, {std::to_string(outcome.Unit), Seconds(outcome.DurationMs)});
  if (rows_ || !events_) {
    run_.Note(TextId::kCliSlotUnitResult, {std::to_string(state.Slot.Number), outcome.Target.Label,
                                           std::to_string(outcome.Unit), shown});
  }
  SetStatus(state, run_.Say(run_.Options.Confirm ? TextId::kCliConfirmNext : TextId::kCliRemoveUnit,
                            {outcome.Exit == kExitSuccess ? run_.Say(TextId::kCliOk) : shown}));
}

JsonObject TStation::Event(const char* name, const SlotState& state) const {
  JsonObject event;
  event.Add("format", kEventFormat)
      .Add("event", name)
      .Add("t_ms", static_cast<std::int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 std::chrono::steady_clock::now() - start_)
                                                 .count()))
      .Add("slot", state.Slot.Number)
      .Add("slot_port", state.Slot.Label);
  return event;
}

void TStation::Emit(const JsonObject& event) {
  if (events_) {
    run_.Out << event.Text() << "\n" << std::flush;
  }
}

// The slot's row on a terminal: port, phase and %, counts, last result, cut
// to the terminal's width so that a row never wraps.
void TStation::SetStatus(SlotState& state, const std::string& status, bool newPhase) {
  state.Status = status;
  if (!rows_) {
    return;
  }
  std::string row = run_.Say(
      TextId::kCliSlotRow,
      {state.Slot.Label, std::to_string(state.Counts.Ok), std::to_string(state.Counts.Failed)});
  if (!state.Last.empty()) {
    row += run_.Say(TextId::kCliSlotLast, {state.Last});
  }
  row += status;
  const std::size_t room = static_cast<std::size_t>(std::max(TerminalColumns() - 10, 20));
  run_.Board->SetRow(state.Row, row.substr(0, room), newPhase);
}

int TStation::Summary() {
  run_.Board->Clear();
  SlotCounts total;
  Json slotsJson = Json::array();
  for (const SlotState& state : states_) {
    total.Ok += state.Counts.Ok;
    total.Failed += state.Counts.Failed;
    total.Interrupted += state.Counts.Interrupted;
    slotsJson.push_back(JsonObject()
                            .Add("slot", state.Slot.Number)
                            .Add("port", state.Slot.Label)
                            .Add("ok", state.Counts.Ok)
                            .Add("failed", state.Counts.Failed)
                            .Add("interrupted", state.Counts.Interrupted)
                            .Value());
    if (!events_) {
      run_.Out << run_.Say(TextId::kCliSlotSummary,
                           {std::to_string(state.Slot.Number), state.Slot.Label,
                            std::to_string(state.Counts.Ok), std::to_string(state.Counts.Failed),
                            std::to_string(state.Counts.Interrupted)})
               << "\n";
    }
  }
  const std::int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - start_)
                              .count();
  const double perHour =
      ms > 0 ? (total.Ok + total.Failed) * 3600000.0 / static_cast<double>(ms) : 0;
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.1f", perHour);
  int exit = kExitSuccess;
  if (Stopping()) {
    exit = InterruptExit();
  } else if (total.Failed > 0) {
    exit = kExitStationFailures;
  }
  if (events_) {
    run_.Out << JsonObject()
                    .Add("format", kEventFormat)
                    .Add("event", "summary")
                    .Add("ok", total.Ok)
                    .Add("failed", total.Failed)
                    .Add("interrupted", total.Interrupted)
                    .Add("duration_ms", ms)
                    .Add("units_per_hour", std::round(perHour * 10) / 10)  // as `rate` shows it
                    .Add("slots", std::move(slotsJson))
                    .Add("exit", exit)
                    .Text()
             << "\n";
  } else {
    run_.Out << run_.Say(TextId::kCliStationSummary,
                         {std::to_string(total.Ok), std::to_string(total.Failed),
                          std::to_string(total.Interrupted), Seconds(ms), rate})
             << "\n";
  }
  run_.Out << std::flush;
  return exit;
}

}  // namespace

int RunStation(const CliOptions& options, std::ostream& out, std::ostream& err) {
  RunSetup run(options, out, err);
  CodeTable table;
  if (const int exit = OpenLogAndLoad(run, table); exit != kExitSuccess) {
    return exit;
  }
  TImageFolder folder;
  if (const TStatus prepared = folder.Prepare(options.ImageDirectory); !prepared) {
    run.Note(prepared.Error().Words(run.Lang));
    return kExitImageFile;
  }
  InstallInterruptHandlers();
  return TStation(run, table, folder.Path()).Run();
}

}  // namespace korvane::cli
