#include "cli/ResultsLog.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace korvane::cli {
namespace {

#ifdef _WIN32
int OpenForAppend(const std::string& path) {
  return ::_open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, 0644);
}
bool WriteAll(int fd, const std::string& bytes) {
  return ::_write(fd, bytes.data(), static_cast<unsigned>(bytes.size())) ==
         static_cast<int>(bytes.size());
}
void CloseFile(int fd) {
  ::_close(fd);
}
#else
int OpenForAppend(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
}
// One write call: an append of a line this short is never split or interleaved.
bool WriteAll(int fd, const std::string& bytes) {
  return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}
void CloseFile(int fd) {
  ::close(fd);
}
#endif

}  // namespace

bool TResultsLog::CheckWritable(std::string& error) const {
  const int fd = OpenForAppend(path_);
  if (fd < 0) {
    error = path_ + ": " + std::strerror(errno);
    return false;
  }
  CloseFile(fd);
  return true;
}

bool TResultsLog::Append(const std::string& line, std::string& error) {
  std::lock_guard guard(lock_);
  const int fd = OpenForAppend(path_);
  if (fd < 0) {
    error = path_ + ": " + std::strerror(errno);
    return false;
  }
  const bool written = WriteAll(fd, line + "\n");
  if (!written) {
    error = path_ + ": " + std::strerror(errno);
  }
  CloseFile(fd);
  return written;
}

}  // namespace korvane::cli
