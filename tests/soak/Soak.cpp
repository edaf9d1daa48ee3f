// A long run against many simulators: each is programmed with a table of its
// own and read back, cycle after cycle, half of them through the plain loop
// and half through the editor's Qt loop, each on a thread of its own. The
// process's open descriptors, threads and resident memory are taken after
// the first cycle (warm-up) and after the last one, while every port is
// closed; they must not grow, and no cycle may fail.
//
//   build/release/tests/soak/soak [--sims N] [--cycles N] [--sim PATH]
//
// A cycle takes about 10.3 s whatever the count of simulators (the protocol's
// fixed waits). Exit status 0 when the run met its goals, 1 when not, 2 for a
// usage error.

#include <dirent.h>
#include <malloc.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <barrier>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "device/CommDevicePort.h"
#include "device/ConfigImage.h"
#include "device/DeviceOperations.h"
#include "model/HexCodec.h"
#include "serial/Comm.h"
#include "serial/PlainLoop.h"
#include "tests/e2e/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "ui/QtUiLoop.h"

namespace {

using namespace korvane;
using Clock = std::chrono::steady_clock;

constexpr long kRssGrowthLimitKb = 1024;
constexpr std::chrono::seconds kSimStartLimit(10);

struct SoakOptions {
  int Sims = 16;
  int Cycles = 63;  // 16 x 63: about 1000 programmings
  std::string SimPath = KORVANE_SIM_PATH;
};

int PositiveNumber(const std::string& option, const char* text) {
  const int value = std::atoi(text);
  if (value <= 0) {
    throw std::invalid_argument(option + " wants a positive number");
  }
  return value;
}

SoakOptions ParseOptions(int argc, char** argv) {
  SoakOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 == argc) {
      throw std::invalid_argument("unknown option or missing value: " + option);
    }
    const char* value = argv[++i];
    if (option == "--sims") {
      options.Sims = PositiveNumber(option, value);
    } else if (option == "--cycles") {
      options.Cycles = PositiveNumber(option, value);
    } else if (option == "--sim") {
      options.SimPath = value;
    } else {
      throw std::invalid_argument("unknown option: " + option);
    }
  }
  return options;
}

// ---- The process's own figures -------------------------------------------

struct ProcessFigures {
  int Descriptors = 0;
  long Threads = 0;
  long RssKb = 0;
  // Allocated and not freed: tells live data that grows from memory the
  // allocator keeps for later.
  std::size_t HeapInUseKb = 0;
};

int OpenDescriptors() {
  DIR* dir = ::opendir("/proc/self/fd");
  if (dir == nullptr) {
    return -1;
  }
  int count = 0;
  while (const dirent* entry = ::readdir(dir)) {
    count += entry->d_name[0] == '.' ? 0 : 1;
  }
  ::closedir(dir);
  return count - 1;  // the directory's own descriptor
}

long StatusField(const std::string& name) {
  std::ifstream status("/proc/self/status");
  std::string key;
  for (long value = 0; status >> key;) {
    if (key == name + ":" && status >> value) {
      return value;
    }
    status.ignore(1 << 16, '\n');
  }
  return -1;
}

ProcessFigures TakeFigures() {
  return {OpenDescriptors(), StatusField("Threads"), StatusField("VmRSS"),
          ::mallinfo2().uordblks / 1024};
}

void PrintFigures(const char* when, const ProcessFigures& figures) {
  std::printf("%-14s %4d descriptors, %3ld threads, RSS %6ld kB, heap in use %6zu kB\n", when,
              figures.Descriptors, figures.Threads, figures.RssKb, figures.HeapInUseKb);
}

// ---- One unit: a simulator and the operations on it ----------------------

// Answers like an operator who confirms everything; keeps the last message.
class SoakOperator : public IOperator {
 public:
  void ShowMessage(const TDeviceText&, TextId) override {}  // the results tell
  bool Confirm(const TDeviceText&, TextId) override { return true; }
  void CreateProgress(int, int, int) override {}
  void StepProgress() override {}
  void DestroyProgress() override {}
};

// A table of its own for each unit and cycle, codes of 1 to 60 bytes.
CodeTable TableFor(int unit, int cycle) {
  CodeTable table;
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      const std::string pattern = {static_cast<char>(unit), static_cast<char>(cycle),
                                   static_cast<char>(button), static_cast<char>(slot)};
      std::string bytes;
      for (int repeat = (unit + cycle + button * slot) % 15; repeat >= 0; --repeat) {
        bytes += pattern;
      }
      table.SetText(button, slot, BytesToHex(bytes));
    }
  }
  return table;
}

// Where the table read back first differs from the one programmed; empty when
// it does not.
std::string FirstDifference(const CodeTable& programmed, const CodeTable& readBack) {
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      if (programmed.Text(button, slot) != readBack.Text(button, slot)) {
        return "button " + std::to_string(button) + " slot " + std::to_string(slot) +
               " read back as \"" + readBack.Text(button, slot) + "\", programmed \"" +
               programmed.Text(button, slot) + "\"";
      }
    }
  }
  return {};
}

struct Unit {
  int Number = 0;
  std::string Port;
  std::string ImagePath;
};

// Opens the port, programs the unit and reads it back; empty on success, else
// what went wrong.
std::string RunCycle(TUiLoop& loop, const Unit& unit, int cycle) {
  TComm comm(loop);
  TResponseLog log;
  comm.OnReceiveData = [&log](TComm&, const char* buffer, std::uint16_t length) {
    log.Append(buffer, length);
  };
  comm.SetCommName(unit.Port);
  comm.OpenPort();
  if (!comm.PortOpen()) {
    return "the port did not open: " + comm.PortOpenError();
  }
  TCommDevicePort port(comm);
  SoakOperator oper;
  DeviceContext context(port, loop, log, oper, unit.ImagePath);
  const CodeTable table = TableFor(unit.Number, cycle);
  const int baudIndex = cycle % 5;
  if (const TStatus programmed = ProgramDevice(context, table, baudIndex); !programmed) {
    return "programming failed: " + programmed.Message();
  }
  CodeTable readBack;
  int readBaud = -1;
  if (const TStatus read = ReadBackDevice(context, readBack, [&](int index) { readBaud = index; });
      !read) {
    return "read-back failed: " + read.Message();
  }
  if (readBaud != baudIndex) {
    return "baud index " + std::to_string(readBaud) + " read back, " + std::to_string(baudIndex) +
           " programmed";
  }
  return FirstDifference(table, readBack);
}

// ---- The run -------------------------------------------------------------

class Soak {
 public:
  explicit Soak(const SoakOptions& options)
      : options_(options), endOfCycle_(options.Sims, CycleEnd{this}) {}

  // Starts the simulators; false when one did not come up.
  bool StartSimulators(const std::filesystem::path& folder) {
    const std::vector<std::string> environment = {"XDG_RUNTIME_DIR=" + folder.string()};
    for (int n = 0; n < options_.Sims; ++n) {
      sims_.push_back(std::make_unique<test::ChildProcess>(
          std::vector<std::string>{options_.SimPath, "--name", "soak" + std::to_string(n)},
          environment));
      const auto line = sims_.back()->ReadLine(kSimStartLimit);
      const auto space = line ? line->find(' ') : std::string::npos;
      if (space == std::string::npos) {
        std::fprintf(stderr, "soak: simulator %d did not start: %s\n", n,
                     sims_.back()->Err().c_str());
        return false;
      }
      const std::filesystem::path unitFolder = folder / ("unit" + std::to_string(n));
      std::filesystem::create_directory(unitFolder);
      units_.push_back({n, line->substr(space + 1), ConfigFilePathIn(unitFolder.string())});
    }
    return true;
  }

  // Runs every unit's cycles: even units on the plain loop, odd ones on the Qt loop.
  void Run() {
    start_ = Clock::now();
    std::vector<std::thread> plain;
    std::vector<std::unique_ptr<QThread>> qt;
    for (const Unit& unit : units_) {
      if (unit.Number % 2 == 0) {
        plain.emplace_back([this, &unit] {
          TPlainLoop loop;
          RunUnit(loop, unit);
        });
      } else {
        qt.emplace_back(QThread::create([this, &unit] {
          TQtUiLoop loop;
          RunUnit(loop, unit);
        }));
        qt.back()->start();
      }
    }
    for (std::thread& thread : plain) {
      thread.join();
    }
    for (const auto& thread : qt) {
      thread->wait();
    }
  }

  // Prints the figures; true when the run met its goals.
  bool Report() const {
    PrintFigures("after warm-up:", warm_);
    PrintFigures("at the end:", end_);
    const int cycles = options_.Sims * options_.Cycles;
    std::printf("programmings and read-backs: %d, failures: %d, %.0f s\n", cycles, failures_.load(),
                std::chrono::duration<double>(Clock::now() - start_).count());
    const bool steady = warm_.Descriptors == end_.Descriptors && warm_.Threads == end_.Threads &&
                        end_.RssKb - warm_.RssKb <= kRssGrowthLimitKb;
    std::printf("soak: %s\n", steady && failures_ == 0 ? "goals met" : "GOALS MISSED");
    return steady && failures_ == 0;
  }

  void StopSimulators() { sims_.clear(); }

 private:
  // Runs on one of the unit threads when all have ended a cycle, before any
  // goes on: every port is closed then.
  struct CycleEnd {
    Soak* Owner;
    void operator()() noexcept { Owner->CycleEnded(); }
  };

  void RunUnit(TUiLoop& loop, const Unit& unit) {
    for (int cycle = 0; cycle < options_.Cycles; ++cycle) {
      if (const std::string failure = RunCycle(loop, unit, cycle); !failure.empty()) {
        ++failures_;
        std::lock_guard lock(printing_);
        std::fprintf(stderr, "soak: unit %d, cycle %d: %s\n", unit.Number, cycle + 1,
                     failure.c_str());
      }
      endOfCycle_.arrive_and_wait();
    }
  }

  void CycleEnded() {
    ++cyclesDone_;
    if (cyclesDone_ == 1) {
      warm_ = TakeFigures();
    }
    if (cyclesDone_ == options_.Cycles) {
      end_ = TakeFigures();
    }
    const ProcessFigures now = TakeFigures();
    std::lock_guard lock(printing_);
    std::printf("cycle %d/%d: %d failures, %.0f s, RSS %ld kB, heap in use %zu kB\n", cyclesDone_,
                options_.Cycles, failures_.load(),
                std::chrono::duration<double>(Clock::now() - start_).count(), now.RssKb,
                now.HeapInUseKb);
    std::fflush(stdout);
  }

  SoakOptions options_;
  std::vector<std::unique_ptr<test::ChildProcess>> sims_;
  std::vector<Unit> units_;
  std::barrier<CycleEnd> endOfCycle_;
  std::atomic<int> failures_{0};
  std::mutex printing_;
  int cyclesDone_ = 0;  // barrier completion only
  ProcessFigures warm_;
  ProcessFigures end_;
  Clock::time_point start_;
};

}  // namespace

int main(int argc, char** argv) {
  SoakOptions options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "soak: %s\nusage: soak [--sims N] [--cycles N] [--sim PATH]\n",
                 error.what());
    return 2;
  }
  QCoreApplication application(argc, argv);
  const test::TempDir folder;  // the simulators' ports and the image files
  Soak soak(options);
  std::printf("soak: %d simulators (%d on the plain loop, %d on the Qt loop), %d cycles\n",
              options.Sims, (options.Sims + 1) / 2, options.Sims / 2, options.Cycles);
  std::fflush(stdout);
  if (!soak.StartSimulators(folder.Path())) {
    return 1;
  }
  soak.Run();
  soak.StopSimulators();
  return soak.Report() ? 0 : 1;
}
