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
  document_ = IniDocument::Parse("");
  encoding_ = TextEncoding::kCodePage;
  converter_.reset();
  unreadable_.reset();
  TResult<std::optional<std::string>> read = ReadFileBytes(path_);
  if (!read) {
    return Unreadable(read.Error());
  }
  const std::string bytes = read.Value().value_or(std::string());
  const TextEncoding encoding = DetectEncoding(bytes);
  if (encoding != TextEncoding::kCodePage) {
    TResult<CodePageConverter> converter = CodePageConverter::Open(codePage_);
    if (!converter) {
      const TError& why = converter.Error();
      return Unreadable(MakeError(TextId::kFileRead, {path_, TextArg(why.Id, why.Args)}, why.Code));
    }
    converter_.emplace(std::move(converter).Value());
  }
  encoding_ = encoding;
  document_ = IniDocument::Parse(DocumentText(bytes, encoding_));
  return read.Value().has_value();
}

TResult<bool> IniFile::Unreadable(TError why) {
  unreadable_ = why;
  return why;
}

TStatus IniFile::Save() {
  if (unreadable_) {
    return *unreadable_;  // a file that could not be read is never overwritten
  }
  return ReplaceFileBytes(path_, FileBytes(document_.Serialize(), encoding_));
}

std::string IniFile::ToDocument(std::string_view text) const {
  return converter_ ? converter_->ToUtf8(text) : std::string(text);
}

std::string IniFile::FromDocument(std::string_view text) const {
  return converter_ ? converter_->ToCodePage(text) : std::string(text);
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

TStatus IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (!document_.Set(ToDocument(section), ToDocument(key), ToDocument(value))) {
    return MakeError(TextId::kFileCannotHold, {path_, std::string(section), std::string(key)});
  }
  return {};
}

std::string GetProfileString(const std::string& file, std::string_view section,
                             std::string_view key, std::string_view fallback) {
  IniFile ini(file);
  Discard(ini.Load());  // an unreadable file gives the default
  return ini.Get(section, key, fallback);
}

TStatus WriteProfileString(const std::string& file, std::string_view section, std::string_view key,
                           std::string_view value) {
  IniFile ini(file);
  Discard(ini.Load());  // an unreadable file makes the Save fail
  if (TStatus set = ini.Set(section, key, value); !set) {
    return set;
  }
  return ini.Save();
}

}  // namespace korvane
