#include "files/IniFile.h"

#include "platform/FileBytes.h"

namespace korvane {

namespace {

// The document text of a file: UTF-16 becomes UTF-8 (a UTF-8 mark the
// document keeps itself).
std::string DocumentText(const std::string& bytes, TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kUtf16Le:
    case TextEncoding::kUtf16Be:
      return Utf16ToUtf8(std::string_view(bytes).substr(2), encoding == TextEncoding::kUtf16Be);
    case TextEncoding::kCodePage:
    case TextEncoding::kUtf8:
      break;
  }
  return bytes;
}

std::string FileBytes(const std::string& text, TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kUtf16Le:
    case TextEncoding::kUtf16Be:
      return std::string(ByteOrderMark(encoding)) +
             Utf8ToUtf16(text, encoding == TextEncoding::kUtf16Be);
    case TextEncoding::kCodePage:
    case TextEncoding::kUtf8:
      break;
  }
  return text;
}

}  // namespace

TResult<bool> IniFile::Load() {
  TResult<std::optional<std::string>> read = ReadFileBytes(path_);
  const std::string bytes = read && read.Value() ? *read.Value() : std::string();
  encoding_ = DetectEncoding(bytes);
  document_ = IniDocument::Parse(DocumentText(bytes, encoding_));
  unreadable_.reset();
  if (!read) {
    unreadable_ = read.Error();
    return read.Error();
  }
  return read.Value().has_value();
}

TStatus IniFile::Save() {
  if (unreadable_) {
    return *unreadable_;  // a file that could not be read is never overwritten
  }
  return ReplaceFileBytes(path_, FileBytes(document_.Serialize(), encoding_));
}

std::string IniFile::ToDocument(std::string_view text) const {
  return encoding_ == TextEncoding::kCodePage ? std::string(text) : CodePageToUtf8(text);
}

std::string IniFile::FromDocument(std::string_view text) const {
  return encoding_ == TextEncoding::kCodePage ? std::string(text) : Utf8ToCodePage(text);
}

std::string IniFile::Get(std::string_view section, std::string_view key,
                         std::string_view fallback) const {
  if (encoding_ == TextEncoding::kCodePage) {
    return document_.Get(section, key, fallback);
  }
  const auto value = document_.Find(ToDocument(section), ToDocument(key));
  if (!value) {
    return std::string(fallback);
  }
  std::string text = FromDocument(*value);
  if (text.size() > kMaxProfileValueChars) {
    text.resize(kMaxProfileValueChars);
  }
  return text;
}

bool IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  return document_.Set(ToDocument(section), ToDocument(key), ToDocument(value));
}

std::string GetProfileString(const std::string& file, std::string_view section,
                             std::string_view key, std::string_view fallback) {
  IniFile ini(file);
  Discard(ini.Load());  // an unreadable file gives the default
  return ini.Get(section, key, fallback);
}

bool WriteProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value) {
  IniFile ini(file);
  Discard(ini.Load());  // an unreadable file makes the Save fail
  return ini.Set(section, key, value) && ini.Save();
}

}  // namespace korvane
