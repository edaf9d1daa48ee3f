#include "tests/e2e/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace korvane::test {
namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool ReadInto(int& fd, std::string& into) {
  char buffer[4096];
  const ssize_t got = ::read(fd, buffer, sizeof buffer);
  if (got > 0) {
    into.append(buffer, static_cast<std::size_t>(got));
    return true;
  }
  ::close(fd);
  fd = -1;
  return false;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& extraEnvironment) {
  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    for (const std::string& assignment : extraEnvironment) {
      ::putenv(const_cast<char*>(assignment.c_str()));
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) {
      args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  outFd_ = out[0];
  errFd_ = err[0];
}

ChildProcess::~ChildProcess() {
  if (!status_ && pid_ > 0) {
    ::kill(pid_, SIGTERM);
    if (!Wait(std::chrono::seconds(3))) {
      ::kill(pid_, SIGKILL);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
  }
  for (int fd : {outFd_, errFd_}) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

bool ChildProcess::Drain(int timeoutMs) {
  pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
  if (outFd_ < 0 && errFd_ < 0) {
    return false;
  }
  if (::poll(fds, 2, timeoutMs) <= 0) {
    return false;
  }
  if (fds[0].revents != 0) {
    ReadInto(outFd_, out_);
  }
  if (fds[1].revents != 0) {
    ReadInto(errFd_, err_);
  }
  return true;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const std::size_t end = out_.find('\n', lineStart_);
    if (end != std::string::npos) {
      std::string line = out_.substr(lineStart_, end - lineStart_);
      lineStart_ = end + 1;
      return line;
    }
    if (outFd_ < 0 || !Drain(RemainingMs(deadline))) {
      return std::nullopt;
    }
  }
}

bool ChildProcess::WaitForErr(const std::string& text, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (err_.find(text) == std::string::npos) {
    if (errFd_ < 0 || RemainingMs(deadline) == 0) {
      return false;
    }
    Drain(RemainingMs(deadline));
  }
  return true;
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!status_) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    const int left = RemainingMs(deadline);
    if (left == 0) {
      return std::nullopt;
    }
    if (!Drain(std::min(left, 50))) {
      // Both pipes closed or quiet: the exit itself is polled at a bounded pace.
      ::poll(nullptr, 0, std::min(left, 10));
    }
  }
  while (Drain(0)) {
  }
  return status_;
}

void ChildProcess::Signal(int signal) {
  if (pid_ > 0 && !status_) {
    ::kill(pid_, signal);
  }
}

}  // namespace korvane::test
