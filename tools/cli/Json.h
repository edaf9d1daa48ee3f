#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::cli {

// `text` as a JSON string literal. Bytes that are not valid UTF-8 become
// U+FFFD, so the document stays valid whatever a device or file held.
std::string JsonQuote(std::string_view text);

// Builds one JSON object, members in the order added.
class JsonObject {
 public:
  JsonObject& Add(std::string_view key, std::string_view value);
  JsonObject& Add(std::string_view key, const char* value) {
    return Add(key, std::string_view(value));
  }
  JsonObject& Add(std::string_view key, std::int64_t value);
  JsonObject& Add(std::string_view key, int value) {
    return Add(key, static_cast<std::int64_t>(value));
  }
  JsonObject& Add(std::string_view key, bool value);
  JsonObject& AddNull(std::string_view key);
  // `json` is already a JSON value (an object, an array).
  JsonObject& AddRaw(std::string_view key, std::string_view json);
  std::string Text() const { return "{" + body_ + "}"; }

 private:
  void Key(std::string_view key);
  std::string body_;
};

// A JSON array of values that are JSON texts already.
std::string JsonArray(const std::vector<std::string>& values);

}  // namespace korvane::cli
