#include "tests/files/ProfileCases.h"

#include <gtest/gtest.h>

#include "files/CodeSetFile.h"
#include "tests/support/TempDir.h"

namespace korvane {
namespace {

// Each hand-edited file of the shared table gives the codes that the Windows
// profile services give (the Windows suite checks the table against them).
TEST(ProfileCases, CodeSetFilesReadAsOnWindows) {
  test::TempDir dir;
  int index = 0;
  for (const auto& example : test::ProfileCases()) {
    SCOPED_TRACE(example.name);
    const auto path = dir.File("case" + std::to_string(++index) + ".IOS");
    test::WriteBytes(path, example.bytes);
    CodeTable loaded;
    ASSERT_TRUE(LoadCodeSet(loaded, path));
    for (int button = 1; button <= kButtonCount; ++button) {
      for (int slot = 1; slot <= kSlotCount; ++slot) {
        EXPECT_EQ(loaded.Text(button, slot), example.expected.Text(button, slot))
            << "Button" << button << " " << SlotKey(slot);
      }
    }
  }
}

}  // namespace
}  // namespace korvane
