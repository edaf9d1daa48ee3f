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

}  // namespace

TStatus SaveCodeSet(const CodeTable& table, const std::string& path, FileError* failure) {
  IniFile ini(path);
  ini.Load();  // an unreadable file makes the Save below fail
  if (FileError error; !PutTable(table, ini, error)) {
    return FileOutcome(false, error, failure);
  }
  if (!ini.Save()) {
    return FileOutcome(false, ini.Failure(), failure);
  }
  return {};
}

TStatus LoadCodeSet(CodeTable& table, const std::string& path, FileError* failure) {
  IniFile ini(path);
  if (ini.Load() == LoadStatus::kUnreadable) {
    return FileOutcome(false, ini.Failure(), failure);
  }
  CodeTable loaded;
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      loaded.SetText(button, slot, ini.Get(SectionOf(button), SlotKey(slot), ""));
    }
  }
  table = std::move(loaded);
  return {};
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
