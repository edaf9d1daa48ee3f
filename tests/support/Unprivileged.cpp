#include "tests/support/Unprivileged.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace korvane::test {
namespace {

constexpr uid_t kNobody = 65534;

std::string HandOver(const std::filesystem::path& folder) {
  std::error_code error;
  if (::chown(folder.c_str(), kNobody, kNobody) != 0) {
    return "cannot hand " + folder.string() + " to nobody";
  }
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
    if (::lchown(entry.path().c_str(), kNobody, kNobody) != 0) {
      return "cannot hand " + entry.path().string() + " to nobody";
    }
  }
  return error ? "cannot list " + folder.string() : std::string();
}

bool DropPrivilege() {
  return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[512];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      return text;
    }
  }
}

}  // namespace

std::string RunWithoutPrivilege(const std::filesystem::path& folder,
                                const std::function<std::string()>& check) {
  if (::geteuid() != 0) {
    return check();
  }
  if (std::string failed = HandOver(folder); !failed.empty()) {
    return failed;
  }
  int report[2];
  if (::pipe(report) != 0) {
    return "pipe failed";
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(report[0]);
    const std::string result = DropPrivilege() ? check() : "cannot become nobody";
    const ssize_t written = ::write(report[1], result.data(), result.size());
    ::_exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
  }
  ::close(report[1]);
  std::string result = ReadAll(report[0]);
  ::close(report[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    result += " (the unprivileged check did not end normally)";
  }
  return result;
}

}  // namespace korvane::test
