#pragma once

#include <string>
#include <system_error>

#include "platform/Result.h"

namespace korvane {

// What a file operation was doing when it failed.
enum class FileStep {
  kNone,          // nothing failed
  kNoName,        // no file name was given
  kReach,         // reaching the file: a folder on the way, or a link
  kNotRegular,    // the name is a folder, a device or a pipe
  kRead,          // reading the file
  kWrite,         // writing the file (or the temporary file that replaces it)
  kCreateBeside,  // a new file: its folder takes no file
  kWriteInPlace,  // the folder takes no temporary file, and writing the file itself failed too
  kLineBreak,     // a code holds a line break, which a code set file cannot hold
};

// The system's reason, sorted into what an operator can act on.
enum class FileReason { kNone, kDenied, kNoSpace, kMissing, kReadOnly, kInUse, kTooLarge, kOther };

// Why a file operation failed, so that each front end says it in its own
// language: the command line in English, the editor in Chinese.
struct FileError {
  FileStep Step = FileStep::kNone;
  std::string Path;
  FileReason Reason = FileReason::kNone;
  std::string SystemText;      // the system's words for the reason, in English
  std::error_code SystemCode;  // empty for a failure of our own
  // kWriteInPlace: why the folder took no temporary file.
  FileReason FolderReason = FileReason::kNone;
  std::string FolderSystemText;
  // kLineBreak: the code, as "IO<n> <key>".
  std::string Code;

  bool Failed() const { return Step != FileStep::kNone; }
};

std::string EnglishText(const FileError& error);
std::string ChineseText(const FileError& error);

// A file operation's outcome as a result: success when `done`, otherwise the
// failure with the system's code and the English text, never a success.
// `details`, when given, receives `error` for texts in other languages.
TStatus FileOutcome(bool done, const FileError& error, FileError* details = nullptr);

}  // namespace korvane
