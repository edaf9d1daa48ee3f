#include "files/IniDocument.h"

#include <algorithm>
#include <utility>

namespace korvane {
namespace {

// Concatenation by appending: gcc 12 at -O3 warns falsely on chains of
// std::string operator+.
std::string Joined(std::initializer_list<std::string_view> parts) {
  std::string joined;
  for (std::string_view part : parts) {
    joined.append(part);
  }
  return joined;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t\v\f\r";

std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

std::string_view TrimLeadingBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

bool HasSurroundingBlanks(std::string_view text) {
  return TrimBlanks(text).size() != text.size();
}

std::optional<std::string_view> SectionName(std::string_view line) {
  const auto rest = TrimLeadingBlanks(line);
  if (rest.empty() || rest.front() != '[') {
    return std::nullopt;
  }
  const auto close = rest.find(']');
  if (close == std::string_view::npos) {
    return std::nullopt;
  }
  return TrimBlanks(rest.substr(1, close - 1));
}

// Offset of the '=' of a key line, or nothing for any other line.
std::optional<std::size_t> KeyLineEquals(std::string_view line) {
  const auto rest = TrimLeadingBlanks(line);
  if (rest.empty() || rest.front() == ';' || SectionName(line)) {
    return std::nullopt;
  }
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) {
    return std::nullopt;
  }
  return equals;
}

std::string_view KeyOf(std::string_view line, std::size_t equals) {
  return TrimBlanks(line.substr(0, equals));
}

bool IsQuotationMark(char c) {
  return c == '"' || c == '\'';
}

// The profile services hand a value between two equal quotation marks back
// without them, so a hand-edited ButtonDownSend1="0102" programs 0102.
std::string_view WithoutQuotes(std::string_view value) {
  if (value.size() >= 2 && IsQuotationMark(value.front()) && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::string_view ValueOf(std::string_view line, std::size_t equals) {
  return WithoutQuotes(TrimBlanks(line.substr(equals + 1)));
}

// Where the value of a key line begins: after the '=' and the blanks after it.
std::size_t ValueStart(std::string_view line, std::size_t equals) {
  const auto start = line.find_first_not_of(kBlanks, equals + 1);
  return start == std::string_view::npos ? line.size() : start;
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument doc;
  if (bytes.starts_with(kUtf8Bom)) {
    doc.bom_ = kUtf8Bom;
    bytes.remove_prefix(kUtf8Bom.size());
  }
  while (!bytes.empty()) {
    const auto stop = bytes.find_first_of("\r\n");
    if (stop == std::string_view::npos) {
      doc.lines_.push_back({std::string(bytes), {}});
      break;
    }
    const bool crlf = bytes[stop] == '\r' && stop + 1 < bytes.size() && bytes[stop + 1] == '\n';
    const std::size_t eolSize = crlf ? 2 : 1;
    doc.lines_.push_back(
        {std::string(bytes.substr(0, stop)), std::string(bytes.substr(stop, eolSize))});
    bytes.remove_prefix(stop + eolSize);
  }
  return doc;
}

std::string IniDocument::Serialize() const {
  std::string out = bom_;
  for (const auto& line : lines_) {
    out += line.text;
    out += line.eol;
  }
  return out;
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
  const auto header = FindSection(section);
  if (!header) {
    return std::nullopt;
  }
  const auto at = FindKey(*header, key);
  if (!at) {
    return std::nullopt;
  }
  const std::string_view line = lines_[*at].text;
  return std::string(ValueOf(line, *KeyLineEquals(line)));
}

std::string IniDocument::Get(std::string_view section, std::string_view key,
                             std::string_view fallback) const {
  std::string value = Find(section, key).value_or(std::string(fallback));
  if (value.size() > kMaxProfileValueChars) {
    value.resize(kMaxProfileValueChars);
  }
  return value;
}

bool IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (!IsWritableSection(section) || !IsWritableKey(key) || !IsWritableValue(value)) {
    return false;
  }
  const auto header = FindSection(section);
  if (!header) {
    InsertLine(lines_.size(), Joined({"[", section, "]"}));
    InsertLine(lines_.size(), Joined({key, "=", value}));
    return true;
  }
  if (const auto at = FindKey(*header, key)) {
    auto& text = lines_[*at].text;
    text.resize(ValueStart(text, *KeyLineEquals(text)));
    text += value;
    return true;
  }
  InsertLine(LastKeyLine(*header) + 1, Joined({key, "=", value}));
  return true;
}

bool IniDocument::IsWritableSection(std::string_view section) {
  return !HasLineBreak(section) && section.find(']') == std::string_view::npos &&
         !HasSurroundingBlanks(section);
}

bool IniDocument::IsWritableKey(std::string_view key) {
  return !key.empty() && !HasLineBreak(key) && key.find('=') == std::string_view::npos &&
         key.front() != '[' && key.front() != ';' && !HasSurroundingBlanks(key);
}

bool IniDocument::IsWritableValue(std::string_view value) {
  return !HasLineBreak(value);
}

std::optional<std::size_t> IniDocument::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const auto name = SectionName(lines_[i].text);
    if (name && SameName(*name, section)) {
      return i;
    }
  }
  return std::nullopt;
}

std::optional<std::size_t> IniDocument::FindKey(std::size_t header, std::string_view key) const {
  const auto end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    const std::string_view line = lines_[i].text;
    const auto equals = KeyLineEquals(line);
    if (equals && SameName(KeyOf(line, *equals), key)) {
      return i;
    }
  }
  return std::nullopt;
}

std::size_t IniDocument::SectionEnd(std::size_t header) const {
  for (std::size_t i = header + 1; i < lines_.size(); ++i) {
    if (SectionName(lines_[i].text)) {
      return i;
    }
  }
  return lines_.size();
}

std::size_t IniDocument::LastKeyLine(std::size_t header) const {
  std::size_t last = header;
  const auto end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    if (KeyLineEquals(lines_[i].text)) {
      last = i;
    }
  }
  return last;
}

void IniDocument::InsertLine(std::size_t at, std::string text) {
  const std::string eol = AddedLineEnd();
  if (at > 0 && lines_[at - 1].eol.empty()) {
    lines_[at - 1].eol = eol;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), eol});
}

std::string IniDocument::AddedLineEnd() const {
  if (!lines_.empty() && !lines_.front().eol.empty()) {
    return lines_.front().eol;
  }
  return "\r\n";
}

}  // namespace korvane
