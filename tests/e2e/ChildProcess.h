#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace korvane::test {

// A program started for a test, with its stdout and stderr captured. The
// destructor ends it (SIGTERM, then SIGKILL) if it still runs.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv,
               const std::vector<std::string>& extraEnvironment = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of stdout, waiting at most `timeout`.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
  // Waits for the exit, at most `timeout`; the exit status, or nullopt.
  std::optional<int> Wait(std::chrono::milliseconds timeout);
  void Signal(int signal);
  // Waits until stderr holds `text`, at most `timeout`.
  bool WaitForErr(const std::string& text, std::chrono::milliseconds timeout);

  const std::string& Out() const { return out_; }
  const std::string& Err() const { return err_; }

 private:
  bool Drain(int timeoutMs);

  int pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  std::string out_;
  std::string err_;
  std::size_t lineStart_ = 0;
  std::optional<int> status_;
};

}  // namespace korvane::test
