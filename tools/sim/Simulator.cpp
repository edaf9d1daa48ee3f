#include "sim/Simulator.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include "platform/FileBytes.h"
#include "platform/SystemError.h"
#include "sim/ImageFile.h"

namespace korvane {

namespace {

using Clock = TSimulator::Clock;

// One byte on a 9600-baud line with start and stop bits.
constexpr std::chrono::nanoseconds kByteTime{1'041'667};
// Bytes moved per wake-up while pacing: about 8 ms of line time.
constexpr std::size_t kPaceBatch = 8;
constexpr std::size_t kUnpacedRead = 4096;
// Output waiting for the line, at most: room for several of the longest replies.
constexpr std::size_t kMaxQueuedBytes = 64 << 10;

// Line time of `bytes` bytes.
std::chrono::nanoseconds LineTime(std::size_t bytes) {
  return kByteTime * static_cast<std::int64_t>(bytes);
}

int PollTimeout(std::optional<Clock::time_point> wake, Clock::time_point now) {
  if (!wake) {
    return -1;
  }
  if (*wake <= now) {
    return 0;
  }
  // Round up so the wake-up is never early, which would spin.
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*wake - now);
  return static_cast<int>(std::min<std::int64_t>(wait.count(), 60'000));
}

std::optional<Clock::time_point> Earliest(std::optional<Clock::time_point> a,
                                          std::optional<Clock::time_point> b) {
  if (!a) {
    return b;
  }
  if (!b) {
    return a;
  }
  return std::min(*a, *b);
}

std::string WallClock() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  ::localtime_r(&seconds, &local);
  std::ostringstream text;
  text << std::put_time(&local, "%H:%M:%S") << '.' << std::setw(3) << std::setfill('0') << millis;
  return text.str();
}

// The failure the last system call left, as "cannot <what>: <the system's words>".
TError LineFailure(const std::string& what) {
  const std::error_code code = LastSystemErrorCode();
  return TError(code, "cannot " + what + ": " + SystemErrorText(code));
}

}  // namespace

TSimulator::TSimulator(const SimOptions& options, TPtyDevice& pty, TDeviceModel model,
                       std::ostream& log)
    : options_(options), pty_(pty), model_(std::move(model)), log_(log) {
  model_.OnNote = [this](const DeviceNote& note) {
    Log(note.Length > 0 ? "in " : "dev", note.Length, note.Meaning);
  };
  model_.OnNewImage = [this](const std::string& held) { SaveImage(held); };
}

TStatus TSimulator::Run(int signalFd) {
  for (;;) {
    auto now = Clock::now();
    // Bytes still waiting were sent before now: the line was not silent, however
    // late this process got to run.
    if (!InputWaiting()) {
      model_.Tick(now);
    }
    if (TStatus written = WriteDueOutput(now); !written) {
      return written;
    }
    const bool wantInput = !options_.Pacing || now >= inputArmAt_;
    // A stalled line is left unwatched, so nothing the tool sends is ever read.
    pollfd fds[2] = {
        {signalFd, POLLIN, 0},
        {options_.Stall ? -1 : pty_.MasterFd(), static_cast<short>(wantInput ? POLLIN : 0), 0}};
    const int ready = ::poll(fds, 2, PollTimeout(NextWake(), now));
    if (ready < 0 && errno != EINTR) {
      return LineFailure("wait for the line");
    }
    if (ready <= 0) {
      continue;
    }
    if (fds[0].revents & POLLIN) {
      LogStopSignal(signalFd);
      return {};
    }
    if (fds[1].revents & (POLLERR | POLLNVAL)) {
      return TError(std::make_error_code(std::errc::io_error), "the pseudo-terminal failed");
    }
    if (fds[1].revents & (POLLIN | POLLHUP)) {
      TResult<bool> goOn = ReadInput(Clock::now());
      if (!goOn || !goOn.Value()) {
        return goOn ? TStatus() : TStatus(goOn.Error());
      }
    }
  }
}

void TSimulator::LogStopSignal(int signalFd) {
  signalfd_siginfo info{};
  if (::read(signalFd, &info, sizeof info) == sizeof info) {
    Log("dev", 0, std::string("stopping on ") + ::strsignal(static_cast<int>(info.ssi_signo)));
  }
}

// Reads what the line has delivered by `now`; false once the line is hung up.
TResult<bool> TSimulator::ReadInput(Clock::time_point now) {
  Clock::time_point base = now;
  std::size_t budget = options_.Pacing ? InputBudget(now, base) : kUnpacedRead;
  if (options_.DropAfter) {
    budget =
        static_cast<std::size_t>(std::min<std::uint64_t>(budget, *options_.DropAfter - received_));
  }
  char buffer[kUnpacedRead];
  const ssize_t got = ::read(pty_.MasterFd(), buffer, budget);
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
    return true;
  }
  if (got < 0) {
    return LineFailure("read the line");
  }
  if (got == 0) {
    return TError(std::make_error_code(std::errc::io_error), "cannot read the line: it was closed");
  }
  const auto count = static_cast<std::size_t>(got);
  received_ += count;
  // Bytes read from a backlog arrived on the line in its time, not when this
  // process got round to them.
  const Clock::time_point arrival = inputBacklog_ ? base + LineTime(count) : now;
  if (options_.Pacing) {
    inputLineFreeAt_ = base + LineTime(count);
    // A full budget means more may be waiting: collect a batch next time.
    inputArmAt_ = count == budget ? inputLineFreeAt_ + LineTime(kPaceBatch - 1) : inputLineFreeAt_;
    inputBacklog_ = InputWaiting();
  }
  for (auto& sent : model_.Receive(std::string_view(buffer, count), arrival)) {
    Queue(std::move(sent), now + options_.ReplyDelay);
  }
  if (options_.DropAfter && received_ >= *options_.DropAfter) {
    Log("dev", 0, "hanging up after " + std::to_string(received_) + " received bytes");
    pty_.Close();
    return false;
  }
  return true;
}

// Whether the tool's bytes wait unread on the line (never for a stalled line,
// which is not watched).
bool TSimulator::InputWaiting() const {
  int waiting = 0;
  return !options_.Stall && pty_.MasterFd() >= 0 &&
         ::ioctl(pty_.MasterFd(), FIONREAD, &waiting) == 0 && waiting > 0;
}

// A device busy sending drops further answers rather than queueing without bound.
void TSimulator::Queue(Transmission transmission, Clock::time_point releaseAt) {
  if (queued_ + transmission.Bytes.size() > kMaxQueuedBytes) {
    Log("dev", transmission.Bytes.size(), "busy sending: " + transmission.Meaning + " dropped");
    return;
  }
  queued_ += transmission.Bytes.size();
  output_.push_back({std::move(transmission), releaseAt, std::nullopt, 0, 0});
}

// Bytes the paced line has carried by `now`; `base` becomes the line time of
// the first of them. Up to two batches of line time are banked, so a late
// wake-up is caught up with instead of slowing the line down.
std::size_t TSimulator::InputBudget(Clock::time_point now, Clock::time_point& base) const {
  // A backlog goes on from the line time where the last read ended, so a late
  // wake-up of this process does not look like silence on the line.
  base = inputBacklog_ ? inputLineFreeAt_
                       : std::max(inputLineFreeAt_, now - LineTime(2 * kPaceBatch - 1));
  const auto carried = static_cast<std::size_t>((now - base) / kByteTime) + 1;
  return std::clamp<std::size_t>(carried, 1, 2 * kPaceBatch);
}

TStatus TSimulator::WriteDueOutput(Clock::time_point now) {
  while (!output_.empty()) {
    Pending& pending = output_.front();
    if (now < pending.ReleaseAt) {
      return {};
    }
    if (!pending.LineStart) {
      pending.LineStart = options_.Pacing ? std::max(pending.ReleaseAt, outputLineFreeAt_) : now;
      Log("out", pending.What.Bytes.size(), pending.What.Meaning);
    }
    const std::size_t due = DueBytes(pending, now);
    if (due > pending.Done) {
      const ssize_t written =
          ::write(pty_.MasterFd(), pending.What.Bytes.data() + pending.Done, due - pending.Done);
      if (written < 0 && errno != EAGAIN && errno != EINTR) {
        return LineFailure("write the line");
      }
      // The line has no flow control: what the other side's buffer cannot
      // take is lost, as on a real wire.
      pending.Lost += due - pending.Done - static_cast<std::size_t>(std::max<ssize_t>(written, 0));
      pending.Done = due;
    }
    outputLineFreeAt_ = *pending.LineStart + LineTime(pending.Done);
    if (pending.Done < pending.What.Bytes.size()) {
      return {};
    }
    if (pending.Lost > 0) {
      Log("out", pending.Lost, "of the " + pending.What.Meaning + " lost: the port was not read");
    }
    queued_ -= pending.What.Bytes.size();
    output_.pop_front();
  }
  return {};
}

std::size_t TSimulator::DueBytes(const Pending& pending, Clock::time_point now) const {
  const std::size_t size = pending.What.Bytes.size();
  if (!options_.Pacing) {
    return size;
  }
  if (now < *pending.LineStart) {
    return 0;
  }
  const auto started = static_cast<std::size_t>((now - *pending.LineStart) / kByteTime) + 1;
  return std::min(size, started);
}

std::optional<Clock::time_point> TSimulator::NextWake() const {
  std::optional<Clock::time_point> wake = model_.NextDeadline();
  if (options_.Pacing && inputArmAt_ > Clock::now()) {
    wake = Earliest(wake, inputArmAt_);
  }
  if (!output_.empty()) {
    const Pending& pending = output_.front();
    if (!pending.LineStart) {
      wake = Earliest(wake, pending.ReleaseAt);
    } else {
      const std::size_t last = std::min(pending.Done + kPaceBatch, pending.What.Bytes.size()) - 1;
      wake = Earliest(wake, *pending.LineStart + LineTime(last));
    }
  }
  return wake;
}

void TSimulator::SaveImage(const std::string& image) {
  if (options_.ImagePath.empty()) {
    return;
  }
  if (const TStatus saved = ReplaceFileBytes(options_.ImagePath, image); !saved) {
    log_ << "korvane-sim: " << saved.Message() << '\n';
    return;
  }
  Log("dev", image.size(), "image saved to " + options_.ImagePath);
}

void TSimulator::Log(const char* direction, std::size_t length, const std::string& meaning) {
  if (!options_.Verbose) {
    return;
  }
  log_ << WallClock() << "  " << direction << ' ' << std::setw(5) << std::setfill(' ');
  if (length > 0) {
    log_ << length;
  } else {
    log_ << '-';
  }
  log_ << "  " << meaning << std::endl;
}

}  // namespace korvane
