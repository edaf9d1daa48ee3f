#include "cli/ResultsLog.h"

#include "platform/AppendFile.h"

namespace korvane::cli {
namespace {

// The log's failure: its path and the system's words (the cause's).
TError LogError(TextId id, const std::string& path, const TError& cause) {
  return MakeError(id, {path, cause.Message}, cause.Code);
}

}  // namespace

TStatus TResultsLog::CheckWritable() const {
  if (const TResult<TAppendFile> file = TAppendFile::Open(path_); !file) {
    return LogError(TextId::kCliLogUnopenable, path_, file.Error());
  }
  return {};
}

// Opened for each line: nothing is held between units, and a log moved away
// meanwhile begins again at its name.
TStatus TResultsLog::Append(const std::string& line) {
  std::lock_guard guard(lock_);
  TResult<TAppendFile> file = TAppendFile::Open(path_);
  if (!file) {
    return LogError(TextId::kCliLogAppendFailed, path_, file.Error());
  }
  TStatus appended = file.Value().Append(line + "\n");
  if (const TStatus closed = file.Value().Close(); appended && !closed) {
    appended = closed;
  }
  if (!appended) {
    return LogError(TextId::kCliLogAppendFailed, path_, appended.Error());
  }
  return {};
}

}  // namespace korvane::cli
