#include "model/BaudRates.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(BaudRatesTest, IndexAndTextAnswerEachOtherAndRefuseTheRest) {
  for (int index = 0; index < static_cast<int>(kBaudRates.size()); ++index) {
    EXPECT_EQ(BaudIndexOf(BaudRateText(index)), index);
  }
  EXPECT_EQ(BaudIndexOf("19200"), 2);
  for (const int index : {-1, 5, 0xFF}) {
    EXPECT_EQ(BaudRateText(index), "none") << index;
  }
  for (const char* rate : {"", "none", "192000", " 9600", "9600 ", "38400"}) {
    EXPECT_EQ(BaudIndexOf(rate), -1) << '"' << rate << '"';
  }
}

}  // namespace
}  // namespace korvane
