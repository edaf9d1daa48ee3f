#include "files/CodeSetFile.h"

#include "files/IniDocument.h"
#include "files/IniFile.h"

namespace korvane {
namespace {

std::string SectionOf(int button) {
  return "Button" + std::to_string(button);
}

bool PutTable(const CodeTable& table, IniFile& ini, FileError& error) {
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      if (!ini.Set(SectionOf(button), SlotKey(slot), table.Text(button, slot))) {
        error = FileError{};
        error.Step = FileStep::kLineBreak;
        error.Path = ini.Path();
        error.Code = "IO" + std::to_string(button) + " " + SlotKey(slot);
        return false;
      }
    }
  }
  return true;
}

// Runs `operation` with a FileError and hands its English text to `error`.
template <typename Operation>
bool WithEnglishError(std::string* error, Operation operation) {
  FileError failure;
  const bool done = operation(failure);
  if (!done && error) {
    *error = EnglishText(failure);
  }
  return done;
}

}  // namespace

bool SaveCodeSet(const CodeTable& table, const std::string& path, FileError& error) {
  IniFile ini(path);
  ini.Load();  // an unreadable file makes the Save below fail
  if (!PutTable(table, ini, error)) {
    return false;
  }
  if (!ini.Save()) {
    error = ini.Failure();
    return false;
  }
  return true;
}

bool LoadCodeSet(CodeTable& table, const std::string& path, FileError& error) {
  IniFile ini(path);
  if (ini.Load() == LoadStatus::kUnreadable) {
    error = ini.Failure();
    return false;
  }
  CodeTable loaded;
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      loaded.SetText(button, slot, ini.Get(SectionOf(button), SlotKey(slot), ""));
    }
  }
  table = std::move(loaded);
  return true;
}

bool SaveCodeSet(const CodeTable& table, const std::string& path, std::string* error) {
  return WithEnglishError(error,
                          [&](FileError& failure) { return SaveCodeSet(table, path, failure); });
}

bool LoadCodeSet(CodeTable& table, const std::string& path, std::string* error) {
  return WithEnglishError(error,
                          [&](FileError& failure) { return LoadCodeSet(table, path, failure); });
}

std::string CodeSetText(const CodeTable& table) {
  IniDocument document = IniDocument::Parse("");
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      document.Set(SectionOf(button), SlotKey(slot), table.Text(button, slot));
    }
  }
  return document.Serialize();
}

std::string WithDefaultExtension(const std::string& name) {
#ifdef _WIN32
  const auto separator = name.find_last_of("/\\");
#else
  const auto separator = name.find_last_of('/');
#endif
  const auto lastPart = separator == std::string::npos ? 0 : separator + 1;
  if (lastPart == name.size() || name.find('.', lastPart) != std::string::npos) {
    return name;
  }
  return name + "." + kCodeSetExtension;
}

}  // namespace korvane
