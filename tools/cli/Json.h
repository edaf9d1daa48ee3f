#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <utility>

namespace korvane::cli {

// A JSON value whose objects keep their members in the order they were
// added: the documents list their fields in the order docs/json/ shows.
using Json = nlohmann::ordered_json;

// `value` as compact JSON text. Bytes that are not valid UTF-8 become U+FFFD
// (one for each stray byte or cut sequence), so the document stays valid
// whatever a device or file held.
std::string JsonText(const Json& value);

// `text` as a JSON string literal, with the same replacement.
std::string JsonQuote(std::string_view text);

// Builds one JSON object, members in the order added; a key added again
// keeps its place and takes the new value.
class JsonObject {
 public:
  template <typename Value>
  JsonObject& Add(std::string_view key, Value&& value) {
    value_[std::string(key)] = Json(std::forward<Value>(value));
    return *this;
  }
  JsonObject& AddNull(std::string_view key) { return Add(key, nullptr); }
  const Json& Value() const { return value_; }
  std::string Text() const { return JsonText(value_); }

 private:
  Json value_ = Json::object();
};

}  // namespace korvane::cli
