#include "platform/Result.h"

#include "platform/SystemError.h"

namespace korvane {

std::string TError::Words(Language language) const {
  return Id == TextId::kNone ? Message : Text(Id, language, Args);
}

TError LastSystemError(std::string message) {
  return {LastSystemErrorCode(), std::move(message)};
}

TError SystemFailure(std::error_code code) {
  return {code, SystemErrorText(code)};
}

TError MakeError(TextId id, std::vector<std::string> args, std::error_code code) {
  TError error{code, Text(id, Language::English, args)};
  error.Id = id;
  error.Args = std::move(args);
  return error;
}

}  // namespace korvane
