#include "tools/cli/Commands.h"

#include <filesystem>
#include <mutex>
#include <sstream>
#include <thread>

#include "device/CommDevicePort.h"
#include "device/ConfigImage.h"
#include "device/DeviceOperations.h"
#include "files/CodeSetFile.h"
#include "files/FileBytes.h"
#include "model/HexCodec.h"
#include "serial/Comm.h"
#include "serial/PlatformLoop.h"
#include "serial/PortList.h"
#include "tools/cli/PortDiagnosis.h"
#include "tools/cli/TerminalOperator.h"

namespace korvane::cli {
namespace {

constexpr const char* kBaudRates[] = {"4800", "9600", "19200", "57600", "115200"};

#ifdef _WIN32
constexpr const char* kPathSeparators = "/\\";
#else
constexpr const char* kPathSeparators = "/";
#endif

// What a --port argument names: a listed port, or a device path.
struct PortTarget {
  std::string Label;     // as the operator wrote it
  std::string CommName;  // what the port component opens
  std::string Path;      // the device behind it, for diagnosis
};

PortTarget ResolvePort(const std::string& argument) {
  if (argument.find_first_of(kPathSeparators) != std::string::npos) {
    return {argument, argument, argument};
  }
  const std::string commName = "//./" + argument;
  return {argument, commName, DevicePathForCommName(commName)};
}

std::string SafeFileName(const std::string& text) {
  std::string name;
  for (char c : text) {
    name.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
  }
  return name;
}

// Loads a code set file that must exist (the editor's open dialog would accept
// any name; a script naming a missing file has made a mistake).
bool LoadExistingCodeSet(const std::string& path, CodeTable& table, std::ostream& err) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    err << "korvane-cli: cannot read the code set file " << path << ": "
        << (std::filesystem::exists(path, error) ? "not a regular file" : "no such file") << "\n";
    return false;
  }
  if (!LoadCodeSet(table, path)) {
    err << "korvane-cli: cannot read the code set file " << path << "\n";
    return false;
  }
  return true;
}

int ExitFor(ProgramResult result) {
  switch (result) {
    case ProgramResult::Success:
      return kExitSuccess;
    case ProgramResult::PortClosed:
      return kExitPort;
    case ProgramResult::OverlongCode:
      return kExitOverlong;
    case ProgramResult::HandshakeFailed:
      return kExitHandshake;
    case ProgramResult::FileFault:
    case ProgramResult::ImageBusy:
    case ProgramResult::ImageUnreadable:
      return kExitImageFile;
    case ProgramResult::BlockFailed:
      return kExitBlock;
    case ProgramResult::Busy:
    case ProgramResult::Aborted:
      break;
  }
  return kExitInterrupted;
}

std::string BaudText(int index) {
  return index >= 0 && index <= 4 ? kBaudRates[index] : "none";
}

// One open port with everything a device operation needs, on the calling thread.
class PortSession {
 public:
  PortSession(const PortTarget& target, std::string imagePath, IOperator& oper)
      : target_(target), port_(comm_), context_{port_, loop_, log_, oper, std::move(imagePath)} {
    comm_.OnReceiveData = [this](TComm&, const char* buffer, std::uint16_t length) {
      log_.Append(buffer, length);
    };
    comm_.SetCommName(target.CommName);
  }
  ~PortSession() { comm_.ClosePort(); }
  PortSession(const PortSession&) = delete;
  PortSession& operator=(const PortSession&) = delete;

  // Opens the port; on failure returns the reason for the operator.
  std::string Open() {
    try {
      comm_.OpenPort();
    } catch (const ECommsError& error) {
      return target_.Label + ": " + error.what();
    }
    if (comm_.PortOpen()) {
      return {};
    }
    std::string reason = DiagnosePortProblem(target_.Path);
    if (reason.empty()) {
      reason = target_.Label + ": " + comm_.PortOpenError();
    }
    return reason;
  }

  DeviceContext& Context() { return context_; }

 private:
  PortTarget target_;
  TPlatformLoop loop_;
  TComm comm_{loop_};
  TCommDevicePort port_;
  TResponseLog log_;
  DeviceContext context_;
};

// The table and baud index the device reports when it holds `imagePath`.
bool ExpectedReadBack(const std::string& imagePath, CodeTable& table, int& baud) {
  const FileContents image = ReadFileBytes(imagePath);
  if (image.status != ReadStatus::kRead || image.bytes.size() != kImageSize) {
    return false;
  }
  baud = ParseReadReply(BytesToHex(std::string(kBlockSize, '\0') + image.bytes), table);
  return true;
}

std::string SlotName(int button, int slot) {
  return "IO" + std::to_string(button) + " " + SlotKey(slot);
}

// Reads the device back and compares it with the image it was sent; the
// differences go to `report`, one line each.
int CompareWithDevice(PortSession& session, std::ostream& report, const std::string& prefix) {
  CodeTable expected;
  int expectedBaud = -1;
  if (!ExpectedReadBack(session.Context().ImagePath, expected, expectedBaud)) {
    report << prefix << "verify: cannot read the image file " << session.Context().ImagePath
           << "\n";
    return kExitImageFile;
  }
  CodeTable actual;
  int actualBaud = -2;
  const ReadResult read =
      ReadBackDevice(session.Context(), actual, [&](int index) { actualBaud = index; });
  if (read != ReadResult::Success) {
    report << prefix << "verify: the device's reply could not be read\n";
    return kExitReadLength;
  }
  int differences = 0;
  for (int b = 1; b <= kButtonCount; ++b) {
    for (int s = 1; s <= kSlotCount; ++s) {
      if (expected.Text(b, s) != actual.Text(b, s)) {
        ++differences;
        report << prefix << "verify: " << SlotName(b, s) << " written " << expected.Text(b, s)
               << ", device holds " << actual.Text(b, s) << "\n";
      }
    }
  }
  if (expectedBaud != actualBaud) {
    ++differences;
    report << prefix << "verify: baud rate written " << BaudText(expectedBaud) << ", device holds "
           << BaudText(actualBaud) << "\n";
  }
  if (differences > 0) {
    report << prefix << "verify failed: " << differences << " difference(s)\n";
    return kExitVerify;
  }
  report << prefix << "verify: the device holds what was written\n";
  return kExitSuccess;
}

int Verify(PortSession& session, std::ostream& err, const std::string& prefix,
           std::mutex& outputLock) {
  std::ostringstream report;
  const int exit = CompareWithDevice(session, report, prefix);
  std::lock_guard guard(outputLock);
  err << report.str();
  return exit;
}

int WriteOnePort(const CliOptions& options, const CodeTable& table, const PortTarget& target,
                 const std::string& imagePath, std::ostream& out, std::ostream& err,
                 std::mutex& outputLock) {
  const bool several = options.Ports.size() > 1;
  const std::string prefix = several ? target.Label + ": " : "";
  TTerminalOperator oper(prefix, out, err, !several && StandardErrorIsTerminal(), outputLock);
  PortSession session(target, imagePath, oper);
  if (const std::string problem = session.Open(); !problem.empty()) {
    std::lock_guard guard(outputLock);
    err << "korvane-cli: " << problem << "\n";
    return kExitPort;
  }
  const int exit = ExitFor(ProgramDevice(session.Context(), table, options.BaudIndex));
  if (exit != kExitSuccess || !options.Verify) {
    return exit;
  }
  return Verify(session, err, prefix, outputLock);
}

std::string ImagePathFor(const CliOptions& options, const PortTarget& target) {
  std::string directory = options.ImageDirectory;
  if (directory.empty()) {
    directory = ExecutableDirectory();
  } else if (directory.back() != '/') {
    directory.push_back('/');
  }
  if (options.Ports.size() == 1) {
    return ConfigFilePathIn(directory);
  }
  return directory + "Configuration-" + SafeFileName(target.Label) + ".bin";
}

}  // namespace

int RunPorts(std::ostream& out) {
  for (const SerialPortEntry& port : ListSerialPorts()) {
    out << port.Name << " " << port.Path << "\n";
  }
  return kExitSuccess;
}

int RunWrite(const CliOptions& options, std::ostream& out, std::ostream& err) {
  CodeTable table;
  if (!LoadExistingCodeSet(options.CodeSetFile, table, err)) {
    return kExitFile;
  }
  std::vector<PortTarget> targets;
  for (const std::string& port : options.Ports) {
    targets.push_back(ResolvePort(port));
  }
  std::mutex outputLock;
  std::vector<int> exits(targets.size(), kExitSuccess);
  std::vector<std::thread> workers;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    workers.emplace_back([&, i] {
      exits[i] = WriteOnePort(options, table, targets[i], ImagePathFor(options, targets[i]), out,
                              err, outputLock);
    });
  }
  for (auto& worker : workers) {
    worker.join();
  }
  if (targets.size() > 1) {
    for (std::size_t i = 0; i < targets.size(); ++i) {
      out << targets[i].Label << ": " << (exits[i] == kExitSuccess ? "ok" : "failed") << " (exit "
          << exits[i] << ")\n";
    }
  }
  for (int exit : exits) {
    if (exit != kExitSuccess) {
      return exit;
    }
  }
  return kExitSuccess;
}

int RunRead(const CliOptions& options, std::ostream& out, std::ostream& err) {
  std::mutex outputLock;
  const PortTarget target = ResolvePort(options.Ports.front());
  TTerminalOperator oper("", out, err, StandardErrorIsTerminal(), outputLock);
  PortSession session(target, ConfigFilePathIn(ExecutableDirectory()), oper);
  if (const std::string problem = session.Open(); !problem.empty()) {
    err << "korvane-cli: " << problem << "\n";
    return kExitPort;
  }
  CodeTable table;
  int baud = -1;
  const ReadResult result =
      ReadBackDevice(session.Context(), table, [&](int index) { baud = index; });
  if (result != ReadResult::Success) {
    return result == ReadResult::BadLength ? kExitReadLength : kExitInterrupted;
  }
  out << "baud rate: " << BaudText(baud) << "\n";
  if (options.Output.empty()) {
    out << CodeSetText(table);
    return kExitSuccess;
  }
  if (!SaveCodeSet(table, options.Output)) {
    err << "korvane-cli: cannot write " << options.Output << "\n";
    return kExitFile;
  }
  return kExitSuccess;
}

int RunImage(const CliOptions& options, std::ostream& out, std::ostream& err) {
  CodeTable table;
  if (!LoadExistingCodeSet(options.CodeSetFile, table, err)) {
    return kExitFile;
  }
  if (!FindOverlongCodes(table).empty()) {
    err << "korvane-cli: " << OverlongCodesText(table) << "\n";
    return kExitOverlong;
  }
  DeleteImageFile(options.Output);
  BuildImage(table, options.BaudIndex, options.Output, nullptr);
  std::error_code error;
  if (std::filesystem::file_size(options.Output, error) != kImageSize || error) {
    err << "korvane-cli: cannot write the image " << options.Output << "\n";
    return kExitFile;
  }
  out << "wrote " << options.Output << " (" << kImageSize << " bytes)\n";
  return kExitSuccess;
}

}  // namespace korvane::cli
