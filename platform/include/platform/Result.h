#pragma once

#include <string>
#include <system_error>
#include <utility>
#include <variant>
#include <vector>

#include "platform/Texts.h"

namespace korvane {

// Why something failed: the system's code (empty for a failure of our own
// making, such as a mismatch), a message for people in English and, for a
// catalogue text, its identifier and details, so that each front end can say
// it in its own language.
struct TError {
  TError() = default;
  TError(std::error_code code, std::string message) : Code(code), Message(std::move(message)) {}

  std::error_code Code;
  std::string Message;
  TextId Id = TextId::kNone;
  std::vector<std::string> Args;

  // The words in `language`: the catalogue's when there is an identifier,
  // otherwise the message as it stands.
  std::string Words(Language language) const;
};

// The failure the last system call left in errno (GetLastError on Windows).
TError LastSystemError(std::string message);

// A failure in the system's own words for `code` (SystemErrorText).
TError SystemFailure(std::error_code code);

// A failure with catalogue words; its Message holds the English ones.
TError MakeError(TextId id, std::vector<std::string> args = {}, std::error_code code = {});

// A value, or why there is none. Every function below the editor that can
// fail returns one of these; dropping one must be written as such (Discard).
template <class T>
class [[nodiscard]] TResult {
 public:
  TResult(T value) : state_(std::move(value)) {}       // NOLINT: implicit by design
  TResult(TError error) : state_(std::move(error)) {}  // NOLINT: implicit by design

  bool Ok() const { return state_.index() == 0; }
  explicit operator bool() const { return Ok(); }

  T& Value() & { return std::get<0>(state_); }
  const T& Value() const& { return std::get<0>(state_); }
  T&& Value() && { return std::get<0>(std::move(state_)); }
  const TError& Error() const { return std::get<1>(state_); }
  const std::string& Message() const { return Error().Message; }

 private:
  std::variant<T, TError> state_;
};

// Success with nothing to carry, or why not.
template <>
class [[nodiscard]] TResult<void> {
 public:
  TResult() = default;
  TResult(TError error) : error_(std::move(error)), failed_(true) {}  // NOLINT: implicit

  bool Ok() const { return !failed_; }
  explicit operator bool() const { return Ok(); }
  const TError& Error() const { return error_; }
  const std::string& Message() const { return error_.Message; }

 private:
  TError error_;
  bool failed_ = false;
};

using TStatus = TResult<void>;

// A result dropped on purpose: the caller has nothing to do with a failure
// (a best-effort cleanup, or an answer the protocol ignores).
template <class T>
void Discard(TResult<T>&&) {}

}  // namespace korvane
