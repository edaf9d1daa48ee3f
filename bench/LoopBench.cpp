// A burst received with InputLen 1, one notice per byte, through each
// user-interface loop on one pseudo-terminal pair: wall time and the CPU time
// of the whole process (reader, writer, far side and loop threads).
//
//   cmake --preset release && cmake --build --preset release --target loop_bench
//   build/release/bench/loop_bench [megabytes, default 10]
//
// The ratio is Qt loop / plain loop: above 1 is slower or costlier. A run
// whose queue overflowed ends with the reader's hangup; one that stops
// delivering (the reader ended unheard) is given up after 10 s, which its
// wall time then includes.

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>

#include "serial/Comm.h"
#include "serial/PlainLoop.h"
#include "ui/QtUiLoop.h"

namespace {

using Clock = std::chrono::steady_clock;
using korvane::TComm;

constexpr std::chrono::seconds kStallLimit(10);

struct Figures {
  double WallSeconds = 0;
  double CpuSeconds = 0;
  std::size_t Delivered = 0;
  bool HungUp = false;
};

double ProcessCpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n <= 0) {
      throw std::runtime_error("write to the pseudo-terminal failed");
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

int OpenMaster(std::string& slave) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    throw std::runtime_error("cannot create a pseudo-terminal");
  }
  termios tio{};
  ::tcgetattr(master, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(master, TCSANOW, &tio);
  slave = ::ptsname(master);
  return master;
}

// Receives `total` bytes written at full speed on the master through `loop`.
// `keep` is another open of the slave side, read to drain what a run that
// ended early left on the line.
Figures Burst(korvane::TUiLoop& loop, int master, int keep, const std::string& slave,
              std::size_t total) {
  TComm comm(loop);
  std::size_t delivered = 0;
  bool hungUp = false;
  comm.OnReceiveData = [&](TComm&, const char*, std::uint16_t length) { delivered += length; };
  comm.OnRequestHangup = [&](TComm&) { hungUp = true; };
  comm.SetInputLen(1);
  comm.SetCommName(slave);
  comm.OpenPort();
  if (!comm.PortOpen()) {
    throw std::runtime_error(comm.PortOpenError());
  }
  loop.WaitPumping(20);
  const double cpuBefore = ProcessCpuSeconds();
  const auto began = Clock::now();
  std::atomic<bool> written{false};
  std::thread far([master, total, &written] {
    const std::string block(4096, 'T');
    for (std::size_t sent = 0; sent < total; sent += block.size()) {
      WriteAll(master, block.data(), std::min(block.size(), total - sent));
    }
    written = true;
  });
  // A reader that ended without a hangup delivers nothing more: give up then.
  auto lastProgress = began;
  std::size_t seen = 0;
  while (delivered < total && !hungUp && Clock::now() - lastProgress < kStallLimit) {
    loop.WaitPumping(5);
    if (delivered != seen) {
      seen = delivered;
      lastProgress = Clock::now();
    }
  }
  Figures figures;
  figures.WallSeconds = std::chrono::duration<double>(Clock::now() - began).count();
  figures.CpuSeconds = ProcessCpuSeconds() - cpuBefore;
  figures.Delivered = delivered;
  figures.HungUp = hungUp;
  comm.ClosePort();
  char drain[4096];
  while (!written) {
    if (::read(keep, drain, sizeof drain) <= 0) {
      break;
    }
  }
  far.join();
  return figures;
}

void Report(const char* label, const Figures& figures, std::size_t total) {
  std::printf("%-12s %10.2f %10.2f %12zu%s\n", label, figures.WallSeconds, figures.CpuSeconds,
              figures.Delivered,
              figures.HungUp
                  ? "  (hangup: the reader ended)"
                  : (figures.Delivered < total ? "  (stalled: the reader ended unheard)" : ""));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const std::size_t megabytes = argc > 1 ? std::stoul(argv[1]) : 10;
  const std::size_t total = megabytes * 1024 * 1024;
  try {
    std::string slave;
    const int master = OpenMaster(slave);
    const int keep = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    korvane::TPlainLoop plainLoop;
    const Figures plain = Burst(plainLoop, master, keep, slave, total);
    korvane::TQtUiLoop qtLoop;
    const Figures qt = Burst(qtLoop, master, keep, slave, total);
    std::printf("%zu MB burst, InputLen 1, one pseudo-terminal pair (%s)\n", megabytes,
                slave.c_str());
    std::printf("%-12s %10s %10s %12s\n", "loop", "wall (s)", "CPU (s)", "bytes");
    Report("plain", plain, total);
    Report("Qt", qt, total);
    std::printf("%-12s %10.2f %10.2f\n", "Qt / plain", qt.WallSeconds / plain.WallSeconds,
                qt.CpuSeconds / plain.CpuSeconds);
    std::printf("Qt loop wake-ups: %zu\n", qtLoop.WakeUps());
    ::close(keep);
    ::close(master);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "loop_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
