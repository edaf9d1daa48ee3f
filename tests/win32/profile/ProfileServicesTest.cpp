// Reads every code set file of the shared table with the system's profile
// services and with our reader, in one process, and compares all 32 codes.
// The system code page must be 936 (under Wine: LANG=zh_CN.UTF-8), as on the
// systems the files come from: it decides what a UTF-16 file's text reads as.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "files/CodeSetFile.h"
#include "tests/files/ProfileCases.h"
#include "tests/support/TempDir.h"

namespace korvane {
namespace {

// The 32 codes as the system's services read them, with the same buffer of
// 2048 characters that the editor has always used.
CodeTable ReadWithProfileServices(const std::string& path) {
  CodeTable table;
  for (int button = 1; button <= kButtonCount; ++button) {
    const std::string section = "Button" + std::to_string(button);
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      char value[2048] = {};
      const DWORD length = ::GetPrivateProfileStringA(section.c_str(), SlotKey(slot).c_str(), "",
                                                      value, sizeof value, path.c_str());
      table.SetText(button, slot, std::string(value, length));
    }
  }
  return table;
}

// A code for the log: its length and its first characters, other bytes than
// printable ASCII as \xNN. (Appended piece by piece: gcc 12 at -O3 warns
// falsely on chains of std::string operator+.)
std::string Shown(const std::string& code) {
  std::string text;
  text.append("(").append(std::to_string(code.size())).append(") \"");
  for (const char c : code.substr(0, 40)) {
    const auto byte = static_cast<unsigned char>(c);
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, byte >= 0x20 && byte < 0x7F ? "%c" : "\\x%02X", byte);
    text.append(escaped);
  }
  return text.append(code.size() > 40 ? "...\"" : "\"");
}

// The codes that differ between two readings, one per line.
std::string Differences(const CodeTable& ours, const CodeTable& system) {
  std::string text;
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      if (ours.Text(button, slot) != system.Text(button, slot)) {
        text.append("  Button").append(std::to_string(button)).append(" ").append(SlotKey(slot));
        text.append(": ours ").append(Shown(ours.Text(button, slot)));
        text.append(", system's ").append(Shown(system.Text(button, slot))).append("\n");
      }
    }
  }
  return text;
}

TEST(ProfileServices, ReadEveryCodeSetFileAsWeDo) {
  ASSERT_EQ(::GetACP(), 936u) << "the system code page must be 936 (LANG=zh_CN.UTF-8 for Wine)";
  test::TempDir dir;
  int index = 0;
  int compared = 0;
  int agreeing = 0;
  for (const auto& example : test::ProfileCases()) {
    SCOPED_TRACE(example.name);
    // A new name for each file: the services may keep a file they have read.
    const auto path = dir.File("case" + std::to_string(++index) + ".IOS");
    test::WriteBytes(path, example.bytes);
    CodeTable ours;
    ASSERT_TRUE(LoadCodeSet(ours, path));
    EXPECT_EQ(Differences(ours, example.expected), "") << "our reading against the table";
    const std::string differences = Differences(ours, ReadWithProfileServices(path));
    if (!example.wineDiffers.empty()) {
      std::printf("left out: %s (%s)\n%s", example.name.c_str(), example.wineDiffers.c_str(),
                  differences.c_str());
      continue;
    }
    ++compared;
    agreeing += differences.empty() ? 1 : 0;
    EXPECT_EQ(differences, "") << "our reading against the system's";
  }
  std::printf("profile services: %d files compared, %d agreeing, %d left out\n", compared, agreeing,
              index - compared);
}

}  // namespace
}  // namespace korvane
