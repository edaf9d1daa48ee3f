#include "model/CodeTable.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace std::string_literals;

namespace korvane {
namespace {

TEST(CodeTable, StoresTextsUnchangedAndClears) {
  CodeTable table;
  table.SetText(2, 3, "1a 2B");
  table.SetText(4, 8, std::string(300, 'F'));
  table.SetText(1, 1, "\x00\xB1"s);
  EXPECT_EQ(table.Text(2, 3), "1a 2B");
  EXPECT_EQ(table.Button(2).DownSend(3), "1a 2B");
  EXPECT_EQ(table.Text(4, 8).size(), 300u);
  EXPECT_EQ(table.Button(4).UpSend(4).size(), 300u);
  EXPECT_EQ(table.Text(1, 1), "\x00\xB1"s);
  EXPECT_EQ(table.Text(2, 2), "");

  table.Clear();
  for (int b = 1; b <= kButtonCount; ++b) {
    for (int s = 1; s <= kSlotCount; ++s) {
      EXPECT_TRUE(table.Text(b, s).empty());
    }
  }
}

TEST(CodeTable, RejectsNumbersOutsideTheTable) {
  CodeTable table;
  EXPECT_THROW(table.Text(0, 1), std::out_of_range);
  EXPECT_THROW(table.Text(5, 1), std::out_of_range);
  EXPECT_THROW(table.SetText(1, 9, "x"), std::out_of_range);
}

TEST(CodeTable, SlotKeysFollowSlotOrder) {
  EXPECT_EQ(SlotKey(1), "ButtonDownSend1");
  EXPECT_EQ(SlotKey(4), "ButtonDownSend4");
  EXPECT_EQ(SlotKey(5), "ButtonUpSend1");
  EXPECT_EQ(SlotKey(8), "ButtonUpSend4");
  EXPECT_TRUE(IsDownSlot(4));
  EXPECT_FALSE(IsDownSlot(5));
  EXPECT_EQ(CodeNumberInGroup(7), 3);
}

}  // namespace
}  // namespace korvane
