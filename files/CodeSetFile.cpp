#include "files/CodeSetFile.h"

#include "files/IniDocument.h"
#include "files/IniFile.h"
#include "platform/FileBytes.h"

namespace korvane {
namespace {

std::string SectionOf(int button) {
  return "Button" + std::to_string(button);
}

TStatus PutTable(const CodeTable& table, IniFile& ini) {
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      const std::string& text = table.Text(button, slot);
      if (!IniDocument::IsWritableValue(text)) {
        const std::string code = "IO" + std::to_string(button) + " " + SlotKey(slot);
        return MakeError(TextId::kFileLineBreak, {ini.Path(), code});
      }
      if (TStatus set = ini.Set(SectionOf(button), SlotKey(slot), text); !set) {
        return set;
      }
    }
  }
  return {};
}

}  // namespace

TStatus SaveCodeSet(const CodeTable& table, const std::string& path) {
  IniFile ini(path);
  Discard(ini.Load());  // an unreadable file makes the Save below fail
  if (TStatus put = PutTable(table, ini); !put) {
    return put;
  }
  return ini.Save();
}

TStatus LoadCodeSet(CodeTable& table, const std::string& path) {
  IniFile ini(path);
  if (const TResult<bool> loaded = ini.Load(); !loaded) {
    return loaded.Error();
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

TError MissingCodeSetError(const std::string& path) {
  return MissingFileError(path);
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
