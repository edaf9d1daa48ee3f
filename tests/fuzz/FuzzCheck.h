#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace korvane::test {

// Stops the run with a report when a property of the code under test does not
// hold; the fuzzer keeps the input that got here as a crash.
inline void Check(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
  }
}

inline bool IsUpperHex(const std::string& text) {
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return text.size() % 2 == 0;
}

// Splits the input at `separator` into the pieces between them.
template <typename Fn>
void ForEachPiece(const char* data, std::size_t size, char separator, Fn fn) {
  std::size_t start = 0;
  for (std::size_t at = 0; at <= size; ++at) {
    if (at == size || data[at] == separator) {
      fn(std::string(data + start, at - start));
      start = at + 1;
    }
  }
}

}  // namespace korvane::test
