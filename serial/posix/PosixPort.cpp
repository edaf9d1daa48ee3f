#include "PosixPort.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "Termios.h"

namespace korvane {

namespace {

// How often the driver's counters are read while waiting for a comm event.
constexpr std::chrono::milliseconds kCounterPeriod(100);
// A read interval of this value (and no total timeout) returns whatever has
// arrived once at least one byte is there.
constexpr std::uint32_t kIntervalAtOnce = std::numeric_limits<std::uint32_t>::max();

tcflag_t SizeFlag(std::uint8_t dataBits) {
  switch (dataBits) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

tcflag_t ParityFlags(std::uint8_t parity) {
  switch (static_cast<TParity>(parity)) {
    case TParity::Odd:
      return PARENB | PARODD;
    case TParity::Even:
      return PARENB;
    case TParity::Mark:
      return PARENB | CMSPAR | PARODD;
    case TParity::Space:
      return PARENB | CMSPAR;
    default:
      return 0;
  }
}

void SetModemLine(int fd, int line, bool on) {
  ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

bool Hangup(short revents) {
  return (revents & (POLLHUP | POLLERR)) != 0;
}

}  // namespace

TPosixPort::TPosixPort(UniqueFd fd) : fd_(std::move(fd)) {}

TPosixPort::~TPosixPort() {
  ::ioctl(fd_.Get(), TIOCNXCL);  // the descriptor closes next, which ends it as well
}

TStatus TPosixPort::SetupQueues(std::uint32_t, std::uint32_t) {
  return {};  // a terminal's queues have the driver's own fixed size
}

TStatus TPosixPort::Purge(std::uint32_t flags) {
  // Aborting pending I/O is the stop event's work: every wait includes it.
  const bool input = (flags & Purge::RxClear) != 0;
  const bool output = (flags & Purge::TxClear) != 0;
  if ((input || output) && ::tcflush(fd_.Get(), input && output ? TCIOFLUSH
                                                : input         ? TCIFLUSH
                                                                : TCOFLUSH) != 0) {
    return LastSystemError("cannot discard the port's queues");
  }
  return {};
}

// Carries over what termios can express; DSR flow and sensitivity, the
// continue-on-XOFF choice, the XON/XOFF limits and NUL stripping have no
// termios counterpart and are left to the driver's defaults. A rate termios
// does not offer leaves the terminal's attributes as they were.
TStatus TPosixPort::ApplyState(const TLineSettings& settings) {
  termios tio{};
  if (::tcgetattr(fd_.Get(), &tio) != 0) {
    return LastSystemError("cannot read the port's line settings");
  }
  FillTermios(settings, tio);
  const TResult<speed_t> speed = SpeedForRate(settings.BaudRate);
  TStatus applied = speed ? TStatus() : TStatus(speed.Error());
  if (speed) {
    ::cfsetispeed(&tio, speed.Value());
    ::cfsetospeed(&tio, speed.Value());
    applied = SetTerminalAttributes(fd_.Get(), tio);
  }
  SetModemLines(settings.Flags);
  return applied;
}

void TPosixPort::FillTermios(const TLineSettings& settings, termios& tio) {
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  tio.c_cflag |= CLOCAL | CREAD | SizeFlag(settings.ByteSize) | ParityFlags(settings.Parity);
  if (settings.StopBits != static_cast<std::uint8_t>(TStopBits::_1)) {
    tio.c_cflag |= CSTOPB;  // 1.5 stop bits become 2, the nearest termios offers
  }
  const std::uint32_t flags = settings.Flags;
  const std::uint32_t rts = flags & LineFlag::RtsControlMask;
  if ((flags & LineFlag::OutxCtsFlow) != 0 || rts == LineFlag::RtsControlHandshake) {
    tio.c_cflag |= CRTSCTS;
  }
  tio.c_iflag &= ~tcflag_t{INPCK | IGNPAR | PARMRK | IXON | IXOFF | IXANY};
  tio.c_iflag |= (flags & LineFlag::Parity) != 0 ? INPCK : 0;
  tio.c_iflag |= (flags & LineFlag::OutX) != 0 ? IXON : 0;
  tio.c_iflag |= (flags & LineFlag::InX) != 0 ? IXOFF : 0;
  tio.c_cc[VSTART] = static_cast<cc_t>(settings.XonChar);
  tio.c_cc[VSTOP] = static_cast<cc_t>(settings.XoffChar);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
}

// Handshake modes leave the line to the driver; toggle mode idles with RTS off.
// A pseudo-terminal has no modem lines and refuses, which changes nothing.
void TPosixPort::SetModemLines(std::uint32_t flags) {
  const std::uint32_t rts = flags & LineFlag::RtsControlMask;
  SetModemLine(fd_.Get(), TIOCM_DTR, (flags & LineFlag::DtrControlMask) != 0);
  if (rts != LineFlag::RtsControlHandshake) {
    SetModemLine(fd_.Get(), TIOCM_RTS, rts == LineFlag::RtsControlEnable);
  }
}

TStatus TPosixPort::ApplyTimeouts(const TCommTimeouts& timeouts) {
  readInterval_ = timeouts.ReadIntervalTimeout;
  readMultiplier_ = timeouts.ReadTotalTimeoutMultiplier;
  readConstant_ = timeouts.ReadTotalTimeoutConstant;
  return {};  // kept here and applied by the reader's waits
}

TStatus TPosixPort::SetCommMask(std::uint32_t mask) {
  commMask_ = mask;
  countersKept_ = ReadLineCounters(fd_.Get(), counters_);  // without them no event ever completes
  return {};
}

TIoStatus TPosixPort::StartRead(char* buffer, std::uint32_t length, std::uint32_t& count) {
  const Clock::time_point now = Clock::now();
  read_ = TPendingRead{buffer, length, 0, now, now, TIoStatus::Done};
  if (!ReadMore(false)) {
    return TIoStatus::Pending;
  }
  const TIoStatus status = FinishRead(count);
  return status;
}

TIoStatus TPosixPort::FinishRead(std::uint32_t& count) {
  if (!read_) {
    return TIoStatus::Failed;
  }
  const TPendingRead done = *read_;
  read_.reset();
  count = done.Count;
  // Bytes that came before a failure are delivered; the next read meets it again.
  return done.Count > 0 ? TIoStatus::Done : done.Status;
}

bool TPosixPort::ReadMore(bool hangup) {
  TPendingRead& read = *read_;
  if (aheadBegin_ == aheadEnd_) {
    const ssize_t got = ::read(fd_.Get(), ahead_.data(), ahead_.size());
    if (got > 0) {
      aheadBegin_ = 0;
      aheadEnd_ = static_cast<std::size_t>(got);
    } else if (got < 0 && (errno == EAGAIN || errno == EINTR) && !hangup) {
      return false;
    } else {
      // End of file or an error: the device has gone (a hung-up line, an
      // unplugged adapter, the far side of a pseudo-terminal closed).
      read.Status = got < 0 && errno == EBADF ? TIoStatus::InvalidHandle : TIoStatus::Failed;
      return true;
    }
  }
  const std::size_t take = std::min<std::size_t>(aheadEnd_ - aheadBegin_, read.Length - read.Count);
  std::memcpy(read.Buffer + read.Count, ahead_.data() + aheadBegin_, take);
  aheadBegin_ += take;
  read.Count += static_cast<std::uint32_t>(take);
  read.LastByte = Clock::now();
  return read.Count == read.Length;
}

std::optional<TPosixPort::Clock::time_point> TPosixPort::ReadDeadline() const {
  std::optional<Clock::time_point> deadline;
  const std::uint32_t multiplier = readMultiplier_;
  const std::uint32_t constant = readConstant_;
  if (multiplier != 0 || constant != 0) {
    const auto total = std::chrono::milliseconds(
        static_cast<std::uint64_t>(multiplier) * read_->Length + constant);
    deadline = read_->Started + total;
  }
  const std::uint32_t interval = readInterval_;
  if (read_->Count > 0 && interval != 0) {
    const Clock::time_point gap = interval == kIntervalAtOnce
                                      ? read_->LastByte
                                      : read_->LastByte + std::chrono::milliseconds(interval);
    deadline = deadline ? std::min(*deadline, gap) : gap;
  }
  return deadline;
}

int TPosixPort::PollTimeout(Clock::time_point now) const {
  std::optional<Clock::time_point> wake;
  if (read_) {
    wake = ReadDeadline();
  }
  if (eventPending_ && countersKept_) {
    const Clock::time_point check = now + kCounterPeriod;
    wake = wake ? std::min(*wake, check) : check;
  }
  if (!wake) {
    return -1;
  }
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*wake - now).count();
  return static_cast<int>(std::clamp<long long>(left, 0, std::numeric_limits<int>::max()));
}

TReaderWake TPosixPort::WaitReader(ICommEvent& stop) {
  for (;;) {
    const Clock::time_point now = Clock::now();
    if (read_) {
      const auto deadline = ReadDeadline();
      if (deadline && now >= *deadline) {
        return TReaderWake::ReadDone;
      }
    }
    // Without a pending read the port is left out, so a hung-up line cannot wake us.
    pollfd fds[2] = {{static_cast<int>(stop.NativeHandle()), POLLIN, 0},
                     {read_ ? fd_.Get() : -1, POLLIN, 0}};
    if (::poll(fds, 2, PollTimeout(now)) < 0) {
      if (errno == EINTR) {
        continue;
      }
      return TReaderWake::Failed;
    }
    if (fds[0].revents != 0) {
      return TReaderWake::Stop;
    }
    if (eventPending_ && CheckCounters()) {
      return TReaderWake::CommEvent;
    }
    if (read_ && fds[1].revents != 0) {
      if ((fds[1].revents & POLLNVAL) != 0) {
        read_->Status = TIoStatus::InvalidHandle;
        return TReaderWake::ReadDone;
      }
      if (ReadMore(Hangup(fds[1].revents) && (fds[1].revents & POLLIN) == 0)) {
        return TReaderWake::ReadDone;
      }
    }
  }
}

bool TPosixPort::CheckCounters() {
  TLineCounters now;
  if (!countersKept_ || !ReadLineCounters(fd_.Get(), now)) {
    return false;
  }
  static constexpr std::uint32_t kErrorBits[5] = {LineError::Frame, LineError::RxParity,
                                                  LineError::Overrun, LineError::RxOver,
                                                  LineError::Break};
  std::uint32_t mask = 0;
  for (int i = 0; i < 5; ++i) {
    if (now.Errors[i] != counters_.Errors[i]) {
      lineErrors_ |= kErrorBits[i];
      mask |= CommEvent::Error;
    }
  }
  mask |= now.Carrier != counters_.Carrier ? CommEvent::Carrier : 0;
  mask |= now.Ring != counters_.Ring ? CommEvent::Ring : 0;
  counters_ = now;
  mask &= commMask_;
  if (mask == 0) {
    return false;
  }
  completedMask_ = mask;
  eventPending_ = false;
  return true;
}

TIoStatus TPosixPort::StartEventWait(std::uint32_t& mask) {
  eventPending_ = true;
  if (CheckCounters()) {
    mask = completedMask_;
    return TIoStatus::Done;
  }
  return TIoStatus::Pending;
}

TIoStatus TPosixPort::FinishEventWait(std::uint32_t& mask) {
  mask = completedMask_;
  return TIoStatus::Done;
}

TIoStatus TPosixPort::ClearError(std::uint32_t& errors) {
  errors = lineErrors_;
  lineErrors_ = 0;
  return TIoStatus::Done;
}

TIoStatus TPosixPort::StartWrite(const char* data, std::uint32_t length, std::uint32_t& count) {
  writeData_ = data;
  writeLength_ = length;
  writeHangup_ = false;
  const ssize_t written = ::write(fd_.Get(), data, length);
  if (written > 0) {
    count = static_cast<std::uint32_t>(written);
    return TIoStatus::Done;
  }
  if (written == 0 || errno == EAGAIN || errno == EINTR) {
    return TIoStatus::Pending;
  }
  return errno == EBADF ? TIoStatus::InvalidHandle : TIoStatus::Failed;
}

TWriterWake TPosixPort::WaitWrite(ICommEvent& stop) {
  pollfd fds[2] = {{static_cast<int>(stop.NativeHandle()), POLLIN, 0}, {fd_.Get(), POLLOUT, 0}};
  for (;;) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      return TWriterWake::Failed;
    }
    if (fds[0].revents != 0) {
      return TWriterWake::Stop;
    }
    writeHangup_ = (fds[1].revents & POLLOUT) == 0;
    return TWriterWake::WriteDone;
  }
}

TIoStatus TPosixPort::FinishWrite(std::uint32_t& count) {
  count = 0;
  const ssize_t written = ::write(fd_.Get(), writeData_, writeLength_);
  if (written > 0) {
    count = static_cast<std::uint32_t>(written);
    return TIoStatus::Done;
  }
  if ((written == 0 || errno == EAGAIN || errno == EINTR) && !writeHangup_) {
    return TIoStatus::Done;  // nothing taken this time; the writer starts the rest again
  }
  return written < 0 && errno == EBADF ? TIoStatus::InvalidHandle : TIoStatus::Failed;
}

}  // namespace korvane
