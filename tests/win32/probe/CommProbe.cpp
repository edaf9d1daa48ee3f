// Probes how the Windows serial API behaves on a COM port, printing one line
// per finding. Used to check Wine's serial emulation against a pseudo-terminal.
//   korvane_comm_probe.exe [ECHO-PORT [MODEM-STATE-FILE [STALL-PORT]]]
// ECHO-PORT must echo what it is sent; MODEM-STATE-FILE (a Windows path) is the
// file the LD_PRELOAD modem shim answers from; STALL-PORT never reads. Missing
// arguments come from KORVANE_ECHO_PORT, KORVANE_MODEM_STATE_WIN and
// KORVANE_STALL_PORT, as scripts/wine-test.sh sets them. Exit status 0 when the
// echo works and a carrier change with a ring completes one wait with both.
// Built by the mingw preset as build/mingw/tests/win32/korvane_comm_probe.exe.
//
// Seen with Debian's Wine 8.0 on a pseudo-terminal:
// - without the modem shim SetCommMask(EV_RLSD|EV_ERR|EV_RING) succeeds but
//   WaitCommEvent, GetCommModemStatus and EscapeCommFunction fail (error 50);
// - Wine polls about every 2 ms: EV_RLSD on a change of TIOCM_CD, EV_RING on a
//   change of TIOCM_RI (never from the counters), EV_ERR on a frame, overrun or
//   parity count; ClearCommError then still reports no error bits;
// - interval 100 with no totals: an idle read stays pending; with a total it
//   ends with ERROR_TIMEOUT and 0 bytes;
// - PurgeComm leaves a pending read pending, CancelIoEx ends it (995);
// - SetCommMask ends a pending WaitCommEvent, mask 0 but error 995; CancelIoEx
//   does not, and the next WaitCommEvent fails (87) until SetCommMask;
// - a second CreateFile of an open port succeeds;
// - CloseHandle ends a pending write with ERROR_HANDLES_CLOSED (676).

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
constexpr DWORD kWatched = EV_RLSD | EV_ERR | EV_RING;
constexpr int kTiocmCd = 0x040;
constexpr int kTiocmRi = 0x080;

double Ms(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

HANDLE OpenPort(const std::string& name) {
  const std::string path = "\\\\.\\" + name;
  return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_FLAG_OVERLAPPED, nullptr);
}

void SetTimeouts(HANDLE port, DWORD interval, DWORD constant) {
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = interval;
  timeouts.ReadTotalTimeoutConstant = constant;
  std::printf("SetCommTimeouts(interval %lu, constant %lu): %d\n", interval, constant,
              SetCommTimeouts(port, &timeouts));
}

// Overlapped operation with its own event.
struct Pending {
  OVERLAPPED Ov{};
  Pending() { Ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
  ~Pending() { CloseHandle(Ov.hEvent); }
  bool Done(DWORD ms) { return WaitForSingleObject(Ov.hEvent, ms) == WAIT_OBJECT_0; }
};

// Starts a one-byte read; true while it is pending.
bool StartRead(HANDLE port, Pending& op, char& byte, DWORD& error) {
  ResetEvent(op.Ov.hEvent);
  if (ReadFile(port, &byte, 1, nullptr, &op.Ov)) {
    error = 0;
    return false;
  }
  error = GetLastError();
  return error == ERROR_IO_PENDING;
}

void Result(HANDLE port, Pending& op, const char* what) {
  DWORD got = 0;
  const BOOL ok = GetOverlappedResult(port, &op.Ov, &got, FALSE);
  std::printf("%s: ok %d, bytes %lu, error %lu\n", what, ok, got, ok ? 0 : GetLastError());
}

void ProbeSecondOpen(const std::string& name) {
  HANDLE second = OpenPort(name);
  std::printf("second CreateFile of open %s: %s (error %lu)\n", name.c_str(),
              second == INVALID_HANDLE_VALUE ? "fails" : "succeeds",
              second == INVALID_HANDLE_VALUE ? GetLastError() : 0);
  if (second != INVALID_HANDLE_VALUE) {
    CloseHandle(second);
  }
}

void ProbeLines(HANDLE port) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  GetCommState(port, &dcb);
  dcb.BaudRate = 9600;
  dcb.ByteSize = 8;
  dcb.fBinary = TRUE;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  BOOL ok = SetCommState(port, &dcb);
  std::printf("SetCommState(9600 8N1, DTR/RTS disable): %d error %lu\n", ok,
              ok ? 0 : GetLastError());
  ok = EscapeCommFunction(port, SETDTR);
  std::printf("EscapeCommFunction(SETDTR): %d error %lu\n", ok, ok ? 0 : GetLastError());
  ok = SetCommMask(port, kWatched);
  std::printf("SetCommMask(EV_RLSD|EV_ERR|EV_RING): %d error %lu\n", ok, ok ? 0 : GetLastError());
  DWORD status = 0;
  ok = GetCommModemStatus(port, &status);
  std::printf("GetCommModemStatus: %d status 0x%lx\n", ok, status);
}

// Idle line, interval 100 and no totals: how reads end and how often.
void ProbeIdleReads(HANDLE port, DWORD interval, DWORD constant) {
  SetTimeouts(port, interval, constant);
  Pending op;
  int completions = 0;
  DWORD lastError = 0;
  DWORD lastBytes = 0;
  const auto start = Clock::now();
  while (Ms(start) < 2000) {
    char byte = 0;
    DWORD error = 0;
    if (StartRead(port, op, byte, error)) {
      if (!op.Done(static_cast<DWORD>(2100 - Ms(start)))) {
        break;
      }
    }
    DWORD got = 0;
    const BOOL ok = GetOverlappedResult(port, &op.Ov, &got, FALSE);
    lastError = ok ? 0 : GetLastError();
    lastBytes = got;
    ++completions;
  }
  std::printf(
      "idle reads (interval %lu, constant %lu) in 2 s: %d completions, last bytes %lu error %lu\n",
      interval, constant, completions, lastBytes, lastError);
  if (completions == 0) {
    CancelIoEx(port, &op.Ov);
    op.Done(1000);
  }
}

void ProbePurgeAbortsRead(HANDLE port) {
  SetTimeouts(port, 0, 0);
  Pending op;
  char byte = 0;
  DWORD error = 0;
  if (!StartRead(port, op, byte, error)) {
    std::printf("read did not pend (error %lu)\n", error);
    return;
  }
  std::printf("PurgeComm(RXABORT|RXCLEAR): %d\n", PurgeComm(port, PURGE_RXABORT | PURGE_RXCLEAR));
  const auto start = Clock::now();
  if (op.Done(1000)) {
    std::printf("pending read ended %.0f ms after PurgeComm\n", Ms(start));
    Result(port, op, "  read after PurgeComm");
    return;
  }
  std::printf("PurgeComm did not end the pending read within 1000 ms\n");
  std::printf("CancelIoEx: %d\n", CancelIoEx(port, &op.Ov));
  const auto cancelled = Clock::now();
  std::printf("read ended %s %.0f ms after CancelIoEx\n", op.Done(1000) ? "" : "NOT",
              Ms(cancelled));
  Result(port, op, "  read after CancelIoEx");
}

// Starts WaitCommEvent; true while it is pending.
bool StartWait(HANDLE port, Pending& op, DWORD& mask) {
  ResetEvent(op.Ov.hEvent);
  mask = 0xDEADBEEF;
  if (WaitCommEvent(port, &mask, &op.Ov)) {
    std::printf("WaitCommEvent completed at once, mask 0x%lx\n", mask);
    return false;
  }
  const DWORD error = GetLastError();
  if (error != ERROR_IO_PENDING) {
    std::printf("WaitCommEvent failed: error %lu\n", error);
  }
  return error == ERROR_IO_PENDING;
}

void ProbeSetMaskEndsWait(HANDLE port) {
  Pending op;
  DWORD mask = 0;
  if (!StartWait(port, op, mask)) {
    return;
  }
  std::printf("SetCommMask during pending wait: %d\n", SetCommMask(port, kWatched));
  const auto start = Clock::now();
  if (op.Done(1000)) {
    std::printf("pending WaitCommEvent ended %.0f ms after SetCommMask, mask 0x%lx\n", Ms(start),
                mask);
    Result(port, op, "  wait after SetCommMask");
  } else {
    std::printf("SetCommMask did not end the pending WaitCommEvent within 1000 ms\n");
    CancelIoEx(port, &op.Ov);
    op.Done(1000);
  }
}

// Ends a pending WaitCommEvent the way that lets the next one start.
void EndWait(HANDLE port, Pending& op) {
  SetCommMask(port, kWatched);
  op.Done(1000);
}

// A cancelled wait is not forgotten: is the next WaitCommEvent refused?
void ProbeCancelledWait(HANDLE port) {
  Pending op;
  DWORD mask = 0;
  if (!StartWait(port, op, mask)) {
    return;
  }
  CancelIoEx(port, &op.Ov);
  std::printf("WaitCommEvent cancelled by CancelIoEx ended: %s\n", op.Done(1000) ? "yes" : "no");
  Pending next;
  DWORD nextMask = 0;
  const bool pending = StartWait(port, next, nextMask);
  std::printf("WaitCommEvent after a cancelled one: %s\n", pending ? "pending" : "refused");
  SetCommMask(port, kWatched);
  std::printf("cancelled wait ended after SetCommMask: %s\n", op.Done(1000) ? "yes" : "no");
  if (pending) {
    next.Done(1000);
  }
  Pending third;
  const bool thirdPending = StartWait(port, third, nextMask);
  std::printf("WaitCommEvent after SetCommMask: %s\n", thirdPending ? "pending" : "refused");
  if (thirdPending) {
    EndWait(port, third);
  }
}

bool WriteState(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".new";
  HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

// Modem state changes seen by one pending wait, and whether a second follows.
DWORD ProbeModemChange(HANDLE port, const std::string& statePath, const char* what,
                       const std::string& before, const std::string& after) {
  WriteState(statePath, before);
  Sleep(300);  // the probe lets a poller see the old state first
  Pending op;
  DWORD mask = 0;
  if (!StartWait(port, op, mask)) {
    return 0;
  }
  Sleep(200);
  const auto start = Clock::now();
  WriteState(statePath, after);
  if (!op.Done(2000)) {
    std::printf("%s: no completion within 2000 ms\n", what);
    EndWait(port, op);
    return 0;
  }
  const double took = Ms(start);
  DWORD errors = 0;
  if (mask & EV_ERR) {
    COMSTAT stat{};
    ClearCommError(port, &errors, &stat);
  }
  Pending again;
  DWORD secondMask = 0;
  int seconds = 0;
  if (StartWait(port, again, secondMask)) {
    seconds = again.Done(1000) ? 1 : 0;
    if (!seconds) {
      EndWait(port, again);
    }
  }
  std::printf(
      "%s: mask 0x%lx after %.0f ms, ClearCommError errors 0x%lx, second completion "
      "within 1 s: %s (0x%lx)\n",
      what, mask, took, errors, seconds ? "yes" : "no", seconds ? secondMask : 0);
  return seconds ? 0 : mask;
}

std::string State(int bits, int rng, int dcd, int frame) {
  char text[128];
  std::snprintf(text, sizeof text, "%d 0 0 %d %d 0 0 %d 0 0 0 0\n", bits, rng, dcd, frame);
  return text;
}

// True when a carrier change with a ring gave one completion with both events.
bool ProbeModem(HANDLE port, const std::string& statePath) {
  const DWORD both = ProbeModemChange(port, statePath, "CD on + rng+1", State(0, 0, 0, 0),
                                      State(kTiocmCd, 1, 0, 0));
  ProbeModemChange(port, statePath, "CD off", State(kTiocmCd, 1, 0, 0), State(0, 1, 0, 0));
  ProbeModemChange(port, statePath, "rng+1 only", State(0, 1, 0, 0), State(0, 2, 0, 0));
  ProbeModemChange(port, statePath, "RI on only", State(0, 2, 0, 0), State(kTiocmRi, 2, 0, 0));
  ProbeModemChange(port, statePath, "RI off only", State(kTiocmRi, 2, 0, 0), State(0, 2, 0, 0));
  ProbeModemChange(port, statePath, "CD on + RI on", State(0, 2, 0, 0),
                   State(kTiocmCd | kTiocmRi, 2, 0, 0));
  ProbeModemChange(port, statePath, "dcd+1 only", State(0, 2, 0, 0), State(0, 2, 1, 0));
  ProbeModemChange(port, statePath, "frame+1", State(0, 2, 1, 0), State(0, 2, 1, 1));
  ProbeModemChange(port, statePath, "overrun+1", "0 0 0 2 1 0 0 1 0 0 0 0",
                   "0 0 0 2 1 0 0 1 1 0 0 0");
  ProbeModemChange(port, statePath, "parity+1", "0 0 0 2 1 0 0 1 1 0 0 0",
                   "0 0 0 2 1 0 0 1 1 1 0 0");
  ProbeModemChange(port, statePath, "brk+1", "0 0 0 2 1 0 0 1 1 1 0 0", "0 0 0 2 1 0 0 1 1 1 1 0");
  ProbeModemChange(port, statePath, "buf_overrun+1", "0 0 0 2 1 0 0 1 1 1 1 0",
                   "0 0 0 2 1 0 0 1 1 1 1 1");
  ProbeModemChange(port, statePath, "ring, then ring again", State(0, 2, 1, 1), State(0, 3, 1, 1));
  ProbeModemChange(port, statePath, "CD on + rng+1 (again)", State(0, 3, 1, 1),
                   State(kTiocmCd, 4, 1, 1));
  WriteState(statePath, State(0, 0, 0, 0));
  return both == (EV_RLSD | EV_RING);
}

// A write far larger than the stalled line's buffer stays pending; how does it end?
void ProbeStalledWrite(const std::string& name) {
  HANDLE port = OpenPort(name);
  if (port == INVALID_HANDLE_VALUE) {
    std::printf("CreateFile %s failed: error %lu\n", name.c_str(), GetLastError());
    return;
  }
  const std::string data(256 * 1024, 'x');
  Pending op;
  const BOOL at_once =
      WriteFile(port, data.data(), static_cast<DWORD>(data.size()), nullptr, &op.Ov);
  const DWORD error = at_once ? 0 : GetLastError();
  const bool stillPending = !at_once && error == ERROR_IO_PENDING && !op.Done(500);
  std::printf("256 KiB WriteFile on stalled %s: %s\n", name.c_str(),
              stillPending ? "still pending after 500 ms" : "did not pend");
  const auto start = Clock::now();
  CloseHandle(port);
  const bool ended = op.Done(2000);
  DWORD done = 0;
  const BOOL ok = GetOverlappedResult(port, &op.Ov, &done, FALSE);
  std::printf(
      "  after CloseHandle: ended %s after %.0f ms, ok %d, bytes %lu, error %lu, status 0x%lx\n",
      ended ? "yes" : "NO", Ms(start), ok, done, ok ? 0 : GetLastError(),
      static_cast<unsigned long>(op.Ov.Internal));
}

bool ProbeEcho(HANDLE port) {
  SetTimeouts(port, 100, 0);
  Pending w;
  DWORD done = 0;
  if (!WriteFile(port, "ping", 4, nullptr, &w.Ov) && GetLastError() == ERROR_IO_PENDING) {
    w.Done(1000);
  }
  GetOverlappedResult(port, &w.Ov, &done, FALSE);
  char buffer[8] = {};
  Pending r;
  DWORD got = 0;
  const auto start = Clock::now();
  if (!ReadFile(port, buffer, 8, nullptr, &r.Ov) && GetLastError() == ERROR_IO_PENDING) {
    r.Done(1000);
  }
  const BOOL ok = GetOverlappedResult(port, &r.Ov, &got, FALSE);
  std::printf("echo: wrote %lu; read of 8 (interval 100) ok %d after %.0f ms with %lu '%.*s'\n",
              done, ok, Ms(start), got, static_cast<int>(got), buffer);
  return ok && got == 4 && std::string(buffer, 4) == "ping";
}

std::string Argument(int argc, char** argv, int index, const char* variable) {
  if (argc > index) {
    return argv[index];
  }
  const char* value = std::getenv(variable);
  return value ? value : "";
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  const std::string name = Argument(argc, argv, 1, "KORVANE_ECHO_PORT");
  const std::string statePath = Argument(argc, argv, 2, "KORVANE_MODEM_STATE_WIN");
  const std::string stallName = Argument(argc, argv, 3, "KORVANE_STALL_PORT");
  if (name.empty()) {
    std::fprintf(stderr, "usage: comm_probe ECHO-PORT [MODEM-STATE-FILE [STALL-PORT]]\n");
    return 2;
  }
  HANDLE port = OpenPort(name);
  if (port == INVALID_HANDLE_VALUE) {
    std::printf("CreateFile %s failed: error %lu\n", name.c_str(), GetLastError());
    return 1;
  }
  ProbeSecondOpen(name);
  ProbeLines(port);
  const bool echoes = ProbeEcho(port);
  ProbeIdleReads(port, 100, 0);
  ProbeIdleReads(port, 100, 500);
  ProbeIdleReads(port, 0, 0);
  ProbePurgeAbortsRead(port);
  ProbeSetMaskEndsWait(port);
  ProbeCancelledWait(port);
  const bool modem = !statePath.empty() && ProbeModem(port, statePath);
  CloseHandle(port);
  if (!stallName.empty()) {
    ProbeStalledWrite(stallName);
  }
  std::printf("probe %s: echo %s, carrier with ring %s\n", echoes && modem ? "PASS" : "FAIL",
              echoes ? "ok" : "broken", modem ? "one completion with both" : "not as expected");
  return echoes && modem ? 0 : 1;
}
