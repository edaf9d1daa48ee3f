#include <algorithm>
#include <cctype>
#include <string>

#include "serial/PortList.h"

namespace korvane {
namespace {

std::size_t DigitRunEnd(const std::string& text, std::size_t from) {
  while (from < text.size() && std::isdigit(static_cast<unsigned char>(text[from]))) {
    ++from;
  }
  return from;
}

// Compares two digit runs by value; leading zeros do not count.
int CompareNumbers(std::string a, std::string b) {
  a.erase(0, std::min(a.find_first_not_of('0'), a.size()));
  b.erase(0, std::min(b.find_first_not_of('0'), b.size()));
  if (a.size() != b.size()) {
    return a.size() < b.size() ? -1 : 1;
  }
  return a.compare(b);
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const bool digitA = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
    const bool digitB = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
    if (digitA && digitB) {
      const std::size_t endA = DigitRunEnd(a, i);
      const std::size_t endB = DigitRunEnd(b, j);
      const int order = CompareNumbers(a.substr(i, endA - i), b.substr(j, endB - j));
      if (order != 0) {
        return order < 0;
      }
      i = endA;
      j = endB;
    } else if (a[i] != b[j]) {
      return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    } else {
      ++i;
      ++j;
    }
  }
  if (a.size() - i != b.size() - j) {
    return a.size() - i < b.size() - j;
  }
  return a < b;
}

}  // namespace korvane
