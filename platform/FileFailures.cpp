#include "FileFailures.h"

#include "platform/FileBytes.h"
#include "platform/SystemError.h"

namespace korvane {
namespace {

// The reason as an argument: the catalogue's words in the language asked for,
// else the system's (in English).
std::string ReasonArg(const std::error_code& code) {
  const TextId reason = FileReasonOf(code);
  return reason == TextId::kNone ? SystemErrorText(code) : TextArg(reason);
}

}  // namespace

TError FileFailure(TextId step, const std::string& path, std::error_code code) {
  return MakeError(step, {path, ReasonArg(code)}, code);
}

TError InPlaceFailure(const std::string& path, std::error_code folderCode, std::error_code code) {
  return MakeError(TextId::kFileWriteInPlace, {path, ReasonArg(folderCode), ReasonArg(code)}, code);
}

}  // namespace korvane
