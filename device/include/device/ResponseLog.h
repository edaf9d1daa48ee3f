#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvane {

// Everything the device sent since the last clear, as upper-case hex text,
// two characters per byte, zero bytes included.
class TResponseLog {
 public:
  void Append(const char* buffer, std::size_t length);
  void Clear() { text_.clear(); }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace korvane
