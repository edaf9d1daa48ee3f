#include "files/CodeSetFile.h"

#include "files/IniDocument.h"
#include "files/IniFile.h"

namespace korvane {
namespace {

std::string SectionOf(int button) {
  return "Button" + std::to_string(button);
}

void SetError(std::string* error, std::string text) {
  if (error) {
    *error = std::move(text);
  }
}

bool PutTable(const CodeTable& table, IniFile& ini, std::string* error) {
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      if (!ini.Set(SectionOf(button), SlotKey(slot), table.Text(button, slot))) {
        SetError(error, "code " + SlotKey(slot) + " of button " + std::to_string(button) +
                            " holds a line break and cannot be saved");
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool SaveCodeSet(const CodeTable& table, const std::string& path, std::string* error) {
  IniFile ini(path);
  ini.Load();  // an unreadable file makes the Save below fail
  if (!PutTable(table, ini, error)) {
    return false;
  }
  if (!ini.Save()) {
    SetError(error, ini.Error());
    return false;
  }
  return true;
}

bool LoadCodeSet(CodeTable& table, const std::string& path, std::string* error) {
  IniFile ini(path);
  if (ini.Load() == LoadStatus::kUnreadable) {
    SetError(error, ini.Error());
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
