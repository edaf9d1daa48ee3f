// Receive throughput, per-byte latency and idle CPU of the serial component,
// next to QSerialPort on the same pseudo-terminal. The far side writes on the
// master; both receivers deliver on their loop's thread.
//
//   cmake --preset release && cmake --build --preset release --target serial_bench
//   build/release/bench/serial_bench
//
// Ratios are ours / QSerialPort: above 1 is more throughput, or more latency
// and CPU. With InputLen 2048 a byte waits for the 100 ms read interval.

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QSerialPort>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "serial/Comm.h"
#include "serial/PlainLoop.h"

namespace {

using Clock = std::chrono::steady_clock;
using korvane::TComm;

// A whole number of 2048-byte reads, so the last read does not wait out the interval.
constexpr std::size_t kThroughputBytes = 1 << 20;
constexpr std::size_t kLatencySamples = 400;
constexpr std::size_t kSlowLatencySamples = 30;  // each waits out the 100 ms interval
constexpr std::chrono::milliseconds kIdle(5000);
constexpr std::chrono::seconds kPhaseLimit(60);

struct Figures {
  double BytesPerSecond = 0;
  double P50Us = 0;
  double P99Us = 0;
  double IdleCpuMs = -1;
};

// Counts what a receiver delivers; during latency runs also the arrival time of each byte.
struct Sink {
  std::atomic<std::size_t> Bytes{0};
  bool Record = false;
  std::vector<Clock::time_point> Arrivals;

  void Got(std::size_t count) {
    if (Record) {
      Arrivals.insert(Arrivals.end(), count, Clock::now());
    }
    Bytes += count;
  }
};

using Pump = std::function<void(std::uint32_t milliseconds)>;

double ProcessCpuMs() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
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

bool PumpUntil(const Pump& pump, const std::function<bool()>& done) {
  const auto deadline = Clock::now() + kPhaseLimit;
  while (!done() && Clock::now() < deadline) {
    pump(5);
  }
  return done();
}

double Throughput(int master, Sink& sink, const Pump& pump) {
  const std::size_t start = sink.Bytes;
  const auto began = Clock::now();
  std::thread far([master] {
    const std::string block(4096, 'T');
    for (std::size_t sent = 0; sent < kThroughputBytes; sent += block.size()) {
      WriteAll(master, block.data(), std::min(block.size(), kThroughputBytes - sent));
    }
  });
  const bool complete = PumpUntil(pump, [&] { return sink.Bytes - start >= kThroughputBytes; });
  const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
  far.join();
  if (!complete) {
    throw std::runtime_error("throughput run lost bytes");
  }
  return static_cast<double>(kThroughputBytes) / seconds;
}

// One byte at a time, the next only after the previous one has been delivered.
void Latency(int master, Sink& sink, const Pump& pump, std::size_t samples, Figures& figures) {
  const std::size_t start = sink.Bytes;
  sink.Arrivals.clear();
  sink.Record = true;
  std::vector<Clock::time_point> sent(samples);
  std::thread far([&] {
    for (std::size_t i = 0; i < samples; ++i) {
      sent[i] = Clock::now();
      WriteAll(master, "L", 1);
      const auto deadline = Clock::now() + kPhaseLimit;
      while (sink.Bytes - start <= i && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(50));
      }
    }
  });
  const bool complete = PumpUntil(pump, [&] { return sink.Bytes - start >= samples; });
  far.join();
  sink.Record = false;
  if (!complete || sink.Arrivals.size() < samples) {
    throw std::runtime_error("latency run lost bytes");
  }
  std::vector<double> micros;
  for (std::size_t i = 0; i < samples; ++i) {
    micros.push_back(std::chrono::duration<double, std::micro>(sink.Arrivals[i] - sent[i]).count());
  }
  std::sort(micros.begin(), micros.end());
  figures.P50Us = micros[micros.size() / 2];
  figures.P99Us = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}

double IdleCpuMs(const Pump& pump) {
  const double before = ProcessCpuMs();
  pump(static_cast<std::uint32_t>(kIdle.count()));
  return ProcessCpuMs() - before;
}

Figures MeasureOurs(int master, const std::string& slave, std::uint16_t inputLen, bool idle) {
  korvane::TPlainLoop loop;
  TComm comm(loop);
  Sink sink;
  comm.OnReceiveData = [&](TComm&, const char*, std::uint16_t length) { sink.Got(length); };
  comm.OnRequestHangup = [](TComm&) { std::fprintf(stderr, "ours: hangup requested\n"); };
  comm.SetInputLen(inputLen);
  comm.SetCommName(slave);
  comm.OpenPort();
  if (!comm.PortOpen()) {
    throw std::runtime_error("ours: " + comm.PortOpenError());
  }
  const Pump pump = [&](std::uint32_t ms) { loop.WaitPumping(ms); };
  pump(20);
  Figures figures;
  if (idle) {
    figures.IdleCpuMs = IdleCpuMs(pump);
  }
  figures.BytesPerSecond = Throughput(master, sink, pump);
  Latency(master, sink, pump, inputLen == 1 ? kLatencySamples : kSlowLatencySamples, figures);
  comm.ClosePort();
  return figures;
}

Figures MeasurePeer(int master, const std::string& slave) {
  QSerialPort port;
  port.setPortName(QString::fromStdString(slave));
  if (!port.open(QIODevice::ReadWrite)) {
    throw std::runtime_error("QSerialPort: " + port.errorString().toStdString());
  }
  port.setBaudRate(9600);
  port.setDataBits(QSerialPort::Data8);
  port.setParity(QSerialPort::NoParity);
  port.setStopBits(QSerialPort::OneStop);
  port.setFlowControl(QSerialPort::NoFlowControl);
  Sink sink;
  QObject::connect(&port, &QSerialPort::readyRead,
                   [&] { sink.Got(static_cast<std::size_t>(port.readAll().size())); });
  const Pump pump = [](std::uint32_t ms) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
  };
  pump(20);
  Figures figures;
  figures.IdleCpuMs = IdleCpuMs(pump);
  figures.BytesPerSecond = Throughput(master, sink, pump);
  Latency(master, sink, pump, kLatencySamples, figures);
  port.close();
  return figures;
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

void Row(const char* label, double ours1, double ours2048, double peer, const char* format) {
  std::printf("%-24s", label);
  for (double value : {ours1, ours2048, peer}) {
    std::printf(format, value);
  }
  std::printf("   %9.3g %9.3g\n", ours1 / peer, ours2048 / peer);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  try {
    std::string slave;
    const int master = OpenMaster(slave);
    // Keeps the slave side alive between the receivers' opens.
    const int keep = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    const Figures ours1 = MeasureOurs(master, slave, 1, true);
    const Figures ours2048 = MeasureOurs(master, slave, 2048, false);
    const Figures peer = MeasurePeer(master, slave);
    std::printf("serial receive on one pseudo-terminal pair (%s)\n", slave.c_str());
    std::printf("%-24s%14s%14s%14s   %9s %9s\n", "", "ours len 1", "ours len 2048", "QSerialPort",
                "1/peer", "2048/peer");
    Row("throughput (bytes/s)", ours1.BytesPerSecond, ours2048.BytesPerSecond, peer.BytesPerSecond,
        "%14.0f");
    Row("latency p50 (us)", ours1.P50Us, ours2048.P50Us, peer.P50Us, "%14.1f");
    Row("latency p99 (us)", ours1.P99Us, ours2048.P99Us, peer.P99Us, "%14.1f");
    Row("idle CPU 5 s (ms)", ours1.IdleCpuMs, ours1.IdleCpuMs, peer.IdleCpuMs, "%14.2f");
    ::close(keep);
    ::close(master);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "serial_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
