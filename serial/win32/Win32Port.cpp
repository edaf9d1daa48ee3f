#include <algorithm>
#include <cctype>

#include "Win32Backend.h"
#include "WinApi.h"
#include "serial/PortClaim.h"

namespace korvane {
namespace {

// The shared headers name the serial API's bits themselves; the words pass to
// and from the system unchanged, so each name must have the system's value.
static_assert(LineError::RxOver == CE_RXOVER && LineError::Overrun == CE_OVERRUN &&
              LineError::RxParity == CE_RXPARITY && LineError::Frame == CE_FRAME &&
              LineError::Break == CE_BREAK);
static_assert(CommEvent::Carrier == EV_RLSD && CommEvent::Error == EV_ERR &&
              CommEvent::Ring == EV_RING);
static_assert(Purge::TxAbort == PURGE_TXABORT && Purge::RxAbort == PURGE_RXABORT &&
              Purge::TxClear == PURGE_TXCLEAR && Purge::RxClear == PURGE_RXCLEAR);

TIoStatus StatusOfError(DWORD error) {
  switch (error) {
    case ERROR_IO_PENDING:
      return TIoStatus::Pending;
    case ERROR_INVALID_HANDLE:
    case ERROR_OPERATION_ABORTED:  // cancelled by a purge on the way to closing
      return TIoStatus::InvalidHandle;
    default:
      return TIoStatus::Failed;
  }
}

// An overlapped record with its own manual-reset event, created signalled.
class TOverlapped {
 public:
  TOverlapped() : event_(::CreateEventA(nullptr, TRUE, TRUE, nullptr)) {
    record_.hEvent = event_.Get();
  }

  bool Valid() const { return event_.Valid(); }
  HANDLE Event() const { return event_.Get(); }
  // Every operation starts at offset 0, which a port ignores.
  OVERLAPPED* Fresh() {
    record_ = OVERLAPPED{};
    record_.hEvent = event_.Get();
    return &record_;
  }
  OVERLAPPED* Get() { return &record_; }

 private:
  UniqueHandle event_;
  OVERLAPPED record_{};
};

// A BOOL-returning call as a status, with the system's reason on failure.
TStatus Checked(BOOL done, const char* failure) {
  if (!done) {
    return LastSystemError(failure);
  }
  return {};
}

// The name the port is known by, whatever prefix the caller gave: "//./COM3",
// "\\.\COM3" and "com3" are all COM3.
std::string PortKey(std::string name) {
  for (const char* prefix : {"//./", "\\\\.\\"}) {
    const std::string p(prefix);
    if (name.compare(0, p.size(), p) == 0) {
      name.erase(0, p.size());
      break;
    }
  }
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return name;
}

class TWin32Port final : public ICommPort {
 public:
  TWin32Port(UniqueHandle handle, UniqueHandle claim)
      : handle_(std::move(handle)), claim_(std::move(claim)) {}
  ~TWin32Port() override;
  TWin32Port(const TWin32Port&) = delete;
  TWin32Port& operator=(const TWin32Port&) = delete;

  TStatus SetupQueues(std::uint32_t inputSize, std::uint32_t outputSize) override {
    return Checked(::SetupComm(Port(), inputSize, outputSize), "cannot set up the port's queues");
  }
  TStatus Purge(std::uint32_t flags) override;
  TStatus ApplyState(const TLineSettings& settings) override;
  TStatus ApplyTimeouts(const TCommTimeouts& timeouts) override;

  TStatus SetCommMask(std::uint32_t mask) override;
  TIoStatus StartRead(char* buffer, std::uint32_t length, std::uint32_t& count) override;
  TIoStatus FinishRead(std::uint32_t& count) override;
  TIoStatus StartEventWait(std::uint32_t& mask) override;
  TIoStatus FinishEventWait(std::uint32_t& mask) override;
  TIoStatus ClearError(std::uint32_t& errors) override;
  TReaderWake WaitReader(ICommEvent& stop) override;

  TIoStatus StartWrite(const char* data, std::uint32_t length, std::uint32_t& count) override;
  TIoStatus FinishWrite(std::uint32_t& count) override;
  TWriterWake WaitWrite(ICommEvent& stop) override;

 private:
  // A read that ends on a timeout without a byte is an empty read, not a failure.
  static TIoStatus ReadStatusOfError(DWORD error) {
    return error == ERROR_TIMEOUT ? TIoStatus::Done : StatusOfError(error);
  }
  void Settle(TOverlapped& record, bool& pending);
  HANDLE Port() const { return handle_.Get(); }

  UniqueHandle handle_;
  UniqueHandle claim_;  // named mutex that marks the port as ours, or none
  TOverlapped read_;
  TOverlapped eventWait_;
  TOverlapped write_;
  DWORD eventMask_ = 0;
  // Counts changes of the watched events, so that a wait they complete empty is restarted.
  std::atomic<std::uint32_t> maskChanges_{0};
  std::uint32_t maskChangesAtWait_ = 0;
  bool readPending_ = false;   // reader thread only, and the destructor after it
  bool eventPending_ = false;  // reader thread only
  bool writePending_ = false;  // writer thread only
};

TWin32Port::~TWin32Port() {
  // The records must outlive every operation the system still runs on them. A
  // pending comm-event wait ignores a cancel on some systems (Wine among them)
  // but always ends when the watched events change.
  ::SetCommMask(Port(), 0);
  ::CancelIoEx(Port(), nullptr);
  Settle(read_, readPending_);
  Settle(eventWait_, eventPending_);
  Settle(write_, writePending_);
  handle_.Reset();  // released before the claim, so a free claim means a free port
  claim_.Reset();
}

void TWin32Port::Settle(TOverlapped& record, bool& pending) {
  if (pending) {
    DWORD ignored = 0;
    ::GetOverlappedResult(Port(), record.Get(), &ignored, TRUE);
    pending = false;
  }
}

TStatus TWin32Port::Purge(std::uint32_t flags) {
  // Some drivers (and Wine) leave a pending read alone on a purge; cancel it
  // first. Nothing pending to cancel is no failure.
  if ((flags & Purge::RxAbort) != 0) {
    ::CancelIoEx(Port(), read_.Get());
  }
  if ((flags & Purge::TxAbort) != 0) {
    ::CancelIoEx(Port(), write_.Get());
  }
  return Checked(::PurgeComm(Port(), flags), "cannot discard the port's queues");
}

TStatus TWin32Port::ApplyState(const TLineSettings& settings) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  // The read keeps the fields set below does not name (the EOF and event
  // characters); without it they are zero, which the settings still allow.
  if (!::GetCommState(Port(), &dcb)) {
    dcb = DCB{};
    dcb.DCBlength = sizeof dcb;
  }
  dcb.BaudRate = settings.BaudRate;
  const std::uint32_t f = settings.Flags;
  dcb.fBinary = (f & LineFlag::Binary) != 0;
  dcb.fParity = (f & LineFlag::Parity) != 0;
  dcb.fOutxCtsFlow = (f & LineFlag::OutxCtsFlow) != 0;
  dcb.fOutxDsrFlow = (f & LineFlag::OutxDsrFlow) != 0;
  dcb.fDtrControl = (f & LineFlag::DtrControlMask) >> 4;
  dcb.fDsrSensitivity = (f & LineFlag::DsrSensitivity) != 0;
  dcb.fTXContinueOnXoff = (f & LineFlag::TxContinueOnXoff) != 0;
  dcb.fOutX = (f & LineFlag::OutX) != 0;
  dcb.fInX = (f & LineFlag::InX) != 0;
  dcb.fErrorChar = (f & LineFlag::ErrorChar) != 0;
  dcb.fNull = (f & LineFlag::Null) != 0;
  dcb.fRtsControl = (f & LineFlag::RtsControlMask) >> 12;
  dcb.fAbortOnError = 0;
  dcb.fDummy2 = 0;
  dcb.XonLim = settings.XonLim;
  dcb.XoffLim = settings.XoffLim;
  dcb.ByteSize = settings.ByteSize;
  dcb.Parity = settings.Parity;
  dcb.StopBits = settings.StopBits;
  dcb.XonChar = settings.XonChar;
  dcb.XoffChar = settings.XoffChar;
  dcb.ErrorChar = settings.ErrorChar;
  // A refusal leaves the driver's settings.
  return Checked(::SetCommState(Port(), &dcb), "the port refused its line settings");
}

TStatus TWin32Port::ApplyTimeouts(const TCommTimeouts& timeouts) {
  COMMTIMEOUTS record{};  // every field is set below
  record.ReadIntervalTimeout = timeouts.ReadIntervalTimeout;
  record.ReadTotalTimeoutMultiplier = timeouts.ReadTotalTimeoutMultiplier;
  record.ReadTotalTimeoutConstant = timeouts.ReadTotalTimeoutConstant;
  record.WriteTotalTimeoutMultiplier = timeouts.WriteTotalTimeoutMultiplier;
  record.WriteTotalTimeoutConstant = timeouts.WriteTotalTimeoutConstant;
  return Checked(::SetCommTimeouts(Port(), &record), "the port refused its timeouts");
}

TStatus TWin32Port::SetCommMask(std::uint32_t mask) {
  if (!read_.Valid() || !eventWait_.Valid()) {
    return TError{std::make_error_code(std::errc::not_enough_memory),
                  "no events for the port's reads"};
  }
  ++maskChanges_;
  return Checked(::SetCommMask(Port(), mask), "cannot watch the port's events");
}

TIoStatus TWin32Port::StartRead(char* buffer, std::uint32_t length, std::uint32_t& count) {
  DWORD got = 0;
  if (::ReadFile(Port(), buffer, length, &got, read_.Fresh())) {
    count = got;
    return TIoStatus::Done;
  }
  const TIoStatus status = ReadStatusOfError(::GetLastError());
  readPending_ = status == TIoStatus::Pending;
  count = 0;
  return status;
}

TIoStatus TWin32Port::FinishRead(std::uint32_t& count) {
  readPending_ = false;
  DWORD got = 0;
  const BOOL done = ::GetOverlappedResult(Port(), read_.Get(), &got, FALSE);
  count = got;
  return done ? TIoStatus::Done : ReadStatusOfError(::GetLastError());
}

TIoStatus TWin32Port::StartEventWait(std::uint32_t& mask) {
  eventMask_ = 0;
  maskChangesAtWait_ = maskChanges_;
  if (::WaitCommEvent(Port(), &eventMask_, eventWait_.Fresh())) {
    mask = eventMask_;
    return TIoStatus::Done;
  }
  const TIoStatus status = StatusOfError(::GetLastError());
  eventPending_ = status == TIoStatus::Pending;
  return status;
}

TIoStatus TWin32Port::FinishEventWait(std::uint32_t& mask) {
  eventPending_ = false;
  // A change of the watched events ends a pending wait, with no event or as
  // aborted depending on the system; either way the wait is simply restarted.
  const bool maskChanged = maskChanges_ != maskChangesAtWait_;
  DWORD ignored = 0;
  if (!::GetOverlappedResult(Port(), eventWait_.Get(), &ignored, FALSE)) {
    const DWORD error = ::GetLastError();
    return maskChanged && error == ERROR_OPERATION_ABORTED ? TIoStatus::Restart
                                                           : StatusOfError(error);
  }
  mask = eventMask_;
  return mask == 0 && maskChanged ? TIoStatus::Restart : TIoStatus::Done;
}

TIoStatus TWin32Port::ClearError(std::uint32_t& errors) {
  DWORD word = 0;
  if (!::ClearCommError(Port(), &word, nullptr)) {
    return StatusOfError(::GetLastError());
  }
  errors = word;
  return TIoStatus::Done;
}

TReaderWake TWin32Port::WaitReader(ICommEvent& stop) {
  const HANDLE handles[3] = {reinterpret_cast<HANDLE>(stop.NativeHandle()), eventWait_.Event(),
                             read_.Event()};
  switch (SignalledIndex(::WaitForMultipleObjects(3, handles, FALSE, INFINITE), 3)) {
    case 0:
      return TReaderWake::Stop;
    case 1:
      return TReaderWake::CommEvent;
    case 2:
      return TReaderWake::ReadDone;
    default:
      return TReaderWake::Failed;
  }
}

TIoStatus TWin32Port::StartWrite(const char* data, std::uint32_t length, std::uint32_t& count) {
  if (!write_.Valid()) {
    return TIoStatus::Failed;
  }
  DWORD put = 0;
  if (::WriteFile(Port(), data, length, &put, write_.Fresh())) {
    count = put;
    return TIoStatus::Done;
  }
  const TIoStatus status = StatusOfError(::GetLastError());
  writePending_ = status == TIoStatus::Pending;
  count = 0;
  return status;
}

TIoStatus TWin32Port::FinishWrite(std::uint32_t& count) {
  writePending_ = false;
  DWORD put = 0;
  const BOOL done = ::GetOverlappedResult(Port(), write_.Get(), &put, TRUE);
  count = put;
  return done ? TIoStatus::Done : StatusOfError(::GetLastError());
}

TWriterWake TWin32Port::WaitWrite(ICommEvent& stop) {
  const HANDLE handles[2] = {reinterpret_cast<HANDLE>(stop.NativeHandle()), write_.Event()};
  switch (SignalledIndex(::WaitForMultipleObjects(2, handles, FALSE, INFINITE), 2)) {
    case 0:
      return TWriterWake::Stop;
    case 1:
      return TWriterWake::WriteDone;
    default:
      return TWriterWake::Failed;
  }
}

std::string ClaimName(const std::string& commName) {
  return "Local\\korvane-port-" + PortKey(commName);
}

// Some drivers (and Wine) let a second program open a port that is already
// open. A named mutex per port keeps our own programs from sharing one. An
// empty handle: no claim could be made, and the open goes on without it.
TResult<UniqueHandle> ClaimPort(const std::string& commName) {
  UniqueHandle claim(::CreateMutexA(nullptr, FALSE, ClaimName(commName).c_str()));
  if (claim && ::GetLastError() == ERROR_ALREADY_EXISTS) {
    return TError{TCommErrc::PortInUse, commName + " is in use by another program"};
  }
  return claim;
}

}  // namespace

bool IsPortClaimed(const std::string& commName) {
  const UniqueHandle claim(::OpenMutexA(SYNCHRONIZE, FALSE, ClaimName(commName).c_str()));
  return claim.Valid();
}

TResult<std::unique_ptr<ICommPort>> OpenWin32Port(const std::string& commName) {
  UniqueHandle handle(::CreateFileA(commName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED,
                                    nullptr));
  if (!handle) {
    return LastSystemError("cannot open " + commName);
  }
  if (::GetFileType(handle.Get()) != FILE_TYPE_CHAR) {
    return TError{TCommErrc::NotCommDevice, commName + " is not a serial device"};
  }
  TResult<UniqueHandle> claim = ClaimPort(commName);
  if (!claim) {
    return claim.Error();
  }
  return std::unique_ptr<ICommPort>(
      std::make_unique<TWin32Port>(std::move(handle), std::move(claim).Value()));
}

}  // namespace korvane
