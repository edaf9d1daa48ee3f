// The editor's start-up to its first frame, next to a minimal Qt Widgets
// window in the same run, and the editor's idle CPU with a port open on
// korvane-sim.
//
//   cmake --preset release && cmake --build --preset release --target editor_bench
//   build/release/bench/editor_bench [--editor PATH] [--runs N] [--idle-seconds S]
//
// Runs on the platform that QT_QPA_PLATFORM names (offscreen when unset and
// there is no display). --editor measures the idle CPU of another editor
// build, for before-and-after figures.

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ui/ErrorReport.h"
#include "ui/MainForm.h"
#include "ui/RunEditor.h"

namespace {

using namespace korvane;

std::int64_t MonotonicNs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// ---- Child side: start a window and print the time of its first frame ----

// Prints the monotonic time once the window's first paint has been flushed.
class TFirstFrameProbe : public QObject {
 public:
  // Owned by the window it watches.
  explicit TFirstFrameProbe(QWidget& window) : QObject(&window) { window.installEventFilter(this); }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      // Posted: it runs after the painted frame has gone to the screen.
      QTimer::singleShot(0, [] {
        std::printf("%lld\n", static_cast<long long>(MonotonicNs()));
        std::fflush(stdout);
        QCoreApplication::exit(0);
      });
    }
    return false;
  }

 private:
  bool seen_ = false;
};

int MinimalWindow(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.resize(288, 408);
  auto* button = new QPushButton(QStringLiteral("Quit"), &window);
  button->move(200, 352);
  TFirstFrameProbe probe(window);
  window.show();
  return application.exec();
}

// The editor as its main() starts it, with the probe on its window.
int EditorWindow(int argc, char** argv) {
  TApplication application(argc, argv);
  return RunEditor([](TFormMain& window) { new TFirstFrameProbe(window); });
}

// ---- Parent side ----------------------------------------------------------

// A started program whose stdout is read line by line; killed when dropped.
class TChild {
 public:
  TChild(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe failed");
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      for (const std::string& assignment : environment) {
        ::putenv(const_cast<char*>(assignment.c_str()));
      }
      std::vector<char*> args;
      args.reserve(argv.size() + 1);
      for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
      }
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    ::close(out[1]);
    fd_ = out[0];
  }
  ~TChild() {
    if (!exited_) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(fd_);
  }
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;

  pid_t Pid() const { return pid_; }

  std::optional<std::string> ReadLine(int timeoutMs) {
    const std::int64_t deadline = MonotonicNs() + std::int64_t{timeoutMs} * 1'000'000;
    for (;;) {
      if (const auto end = buffer_.find('\n'); end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      const std::int64_t left = (deadline - MonotonicNs()) / 1'000'000;
      pollfd poll{fd_, POLLIN, 0};
      if (left <= 0 || ::poll(&poll, 1, static_cast<int>(left)) <= 0) {
        return std::nullopt;
      }
      char chunk[256];
      const ssize_t got = ::read(fd_, chunk, sizeof chunk);
      if (got <= 0) {
        return std::nullopt;
      }
      buffer_.append(chunk, static_cast<std::size_t>(got));
    }
  }

  void Wait() {
    ::waitpid(pid_, nullptr, 0);
    exited_ = true;
  }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
  std::string buffer_;
  bool exited_ = false;
};

// CPU time of all threads of `pid`, in nanoseconds (the scheduler's own count).
std::int64_t ProcessCpuNs(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  std::int64_t total = 0;
  DIR* dir = ::opendir(tasks.c_str());
  if (dir == nullptr) {
    return -1;
  }
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') {
      continue;
    }
    std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
    std::int64_t ns = 0;
    if (stat >> ns) {
      total += ns;
    }
  }
  ::closedir(dir);
  return total;
}

// Whether `pid` has `path` open.
bool HasOpen(pid_t pid, const std::string& path) {
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  DIR* dir = ::opendir(fds.c_str());
  if (dir == nullptr) {
    return false;
  }
  bool found = false;
  char target[512];
  while (const dirent* entry = ::readdir(dir)) {
    const std::string link = fds + "/" + entry->d_name;
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    if (length > 0 && std::string(target, static_cast<std::size_t>(length)) == path) {
      found = true;
    }
  }
  ::closedir(dir);
  return found;
}

struct TOptions {
  std::string Self;
  std::string Editor = KORVANE_EDITOR_PATH;
  int Runs = 10;
  int IdleSeconds = 10;
};

struct TSimulator {
  std::unique_ptr<TChild> Process;
  std::string Name;
  std::string Device;
};

TSimulator StartSimulator(const std::vector<std::string>& environment) {
  TSimulator sim;
  sim.Process = std::make_unique<TChild>(std::vector<std::string>{KORVANE_SIM_PATH}, environment);
  const std::optional<std::string> line = sim.Process->ReadLine(5000);
  if (!line) {
    throw std::runtime_error("korvane-sim published no port");
  }
  sim.Name = line->substr(0, line->find(' '));
  sim.Device = line->substr(line->find(' ') + 1);
  return sim;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

// Spawn to first frame, in milliseconds; negative when no frame came.
double FirstFrameMs(const TOptions& options, const char* which,
                    const std::vector<std::string>& environment) {
  const std::int64_t start = MonotonicNs();
  TChild child({options.Self, "--first-frame", which}, environment);
  const std::optional<std::string> line = child.ReadLine(20000);
  child.Wait();
  if (!line) {
    return -1.0;
  }
  return static_cast<double>(std::stoll(*line) - start) / 1e6;
}

void MeasureStartUp(const TOptions& options, const std::vector<std::string>& environment) {
  std::vector<double> minimal;
  std::vector<double> editor;
  FirstFrameMs(options, "minimal", environment);  // warm the file cache for both
  FirstFrameMs(options, "editor", environment);
  for (int run = 0; run < options.Runs; ++run) {
    minimal.push_back(FirstFrameMs(options, "minimal", environment));
    editor.push_back(FirstFrameMs(options, "editor", environment));
  }
  const double minimalMs = Median(minimal);
  const double editorMs = Median(editor);
  std::printf(
      "start-up to first frame, median of %d: minimal Qt window %.1f ms, editor %.1f ms, "
      "ratio %.2f\n",
      options.Runs, minimalMs, editorMs, minimalMs > 0 ? editorMs / minimalMs : 0.0);
}

void MeasureIdleCpu(const TOptions& options, const std::vector<std::string>& environment,
                    const TSimulator& sim) {
  TChild editor({options.Editor}, environment);
  // Settle: start-up, the port opened, the first timer ticks.
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const bool portOpen = HasOpen(editor.Pid(), sim.Device);
  const std::int64_t before = ProcessCpuNs(editor.Pid());
  std::this_thread::sleep_for(std::chrono::seconds(options.IdleSeconds));
  const std::int64_t after = ProcessCpuNs(editor.Pid());
  std::printf("idle CPU of %s over %d s with %s %s: %.2f ms (%.2f ms per 10 s)\n",
              options.Editor.c_str(), options.IdleSeconds, sim.Name.c_str(),
              portOpen ? "open" : "NOT open", static_cast<double>(after - before) / 1e6,
              static_cast<double>(after - before) / 1e6 * 10.0 / options.IdleSeconds);
}

int Parent(const TOptions& options) {
  char runtime[] = "/tmp/editor-bench-XXXXXX";
  if (::mkdtemp(runtime) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  // A private runtime folder: only this run's simulator is published there.
  std::vector<std::string> environment = {std::string("XDG_RUNTIME_DIR=") + runtime};
  if (::getenv("QT_QPA_PLATFORM") == nullptr && ::getenv("DISPLAY") == nullptr) {
    environment.push_back("QT_QPA_PLATFORM=offscreen");
  }
  std::printf("platform: %s\n", ::getenv("QT_QPA_PLATFORM") != nullptr ? ::getenv("QT_QPA_PLATFORM")
                                : ::getenv("DISPLAY") != nullptr       ? "xcb"
                                                                       : "offscreen");
  {
    const TSimulator sim = StartSimulator(environment);
    MeasureStartUp(options, environment);
    MeasureIdleCpu(options, environment, sim);
  }
  ::rmdir(runtime);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--first-frame") == 0) {
    return std::strcmp(argv[2], "editor") == 0 ? EditorWindow(argc, argv)
                                               : MinimalWindow(argc, argv);
  }
  TOptions options;
  options.Self = argv[0];
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--editor") {
      options.Editor = argv[i + 1];
    } else if (option == "--runs") {
      options.Runs = std::max(1, std::atoi(argv[i + 1]));
    } else if (option == "--idle-seconds") {
      options.IdleSeconds = std::max(1, std::atoi(argv[i + 1]));
    } else {
      std::fprintf(stderr, "unknown option %s\n", argv[i]);
      return 2;
    }
  }
  try {
    return Parent(options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "editor_bench: %s\n", error.what());
    return 1;
  }
}
