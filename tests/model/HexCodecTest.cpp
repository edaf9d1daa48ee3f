#include "model/HexCodec.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace korvane {
namespace {

TEST(HexDigitValue, DigitsOfBothCasesAndEverythingElseZero) {
  EXPECT_EQ(HexDigitValue('0'), 0);
  EXPECT_EQ(HexDigitValue('9'), 9);
  EXPECT_EQ(HexDigitValue('a'), 10);
  EXPECT_EQ(HexDigitValue('f'), 15);
  EXPECT_EQ(HexDigitValue('A'), 10);
  EXPECT_EQ(HexDigitValue('F'), 15);
  for (char c : {'g', 'G', ' ', '?', '\0', '\xB0'}) {
    EXPECT_EQ(HexDigitValue(c), 0) << static_cast<int>(c);
  }
}

TEST(HexToInt, PlacesEveryCharacterAndWrapsAt32Bits) {
  EXPECT_EQ(HexToInt("3F"), 63);
  EXPECT_EQ(HexToInt("FF"), 255);
  EXPECT_EQ(HexToInt(""), 0);
  EXPECT_EQ(HexToInt(" 7"), 7);    // blank counts as digit 0 in its place
  EXPECT_EQ(HexToInt("7 "), 112);  // and still takes a place on the right
  EXPECT_EQ(HexToInt("FFFFFFFF"), -1);
  EXPECT_EQ(HexToInt("1FFFFFFFF"), -1);  // only the last eight places contribute
  EXPECT_EQ(HexToInt("123456789"), 0x23456789);
}

TEST(BytesToHex, UpperCasePairsIncludingZeroBytes) {
  EXPECT_EQ(BytesToHex("\x00\x0A\xFF"s), "000AFF");
  EXPECT_EQ(BytesToHex(""), "");
  EXPECT_EQ(BytesToHex("A\0B"s), "410042");
}

TEST(HexToBytes, PairsBlanksLoneDigitsAndNonHex) {
  EXPECT_EQ(HexToBytes("C7EBC7F3B1E0B3CC"), "\xC7\xEB\xC7\xF3\xB1\xE0\xB3\xCC"s);
  EXPECT_EQ(HexToBytes("ABC"), "\xAB\x0C"s);
  EXPECT_EQ(HexToBytes("12 34"), "\x12\x34"s);
  EXPECT_EQ(HexToBytes("1 2"), "\x01\x02"s);
  EXPECT_EQ(HexToBytes("123 4"), "\x12\x03\x04"s);
  EXPECT_EQ(HexToBytes("12 3"), "\x12\x03"s);
  EXPECT_EQ(HexToBytes("12 "), "\x12"s);
  EXPECT_EQ(HexToBytes("a1A1"), "\xA1\xA1"s);
  EXPECT_EQ(HexToBytes("00"), "\x00"s);
  EXPECT_EQ(HexToBytes(""), "");
  EXPECT_EQ(HexToBytes("xyz -"), "");
}

TEST(HexToBytes, RoundTripNormalises) {
  EXPECT_EQ(BytesToHex(HexToBytes("0a0bFF")), "0A0BFF");
  EXPECT_EQ(BytesToHex(HexToBytes("1 2 3zz45")), "01020345");
}

TEST(IntToHex2, AtLeastTwoDigits) {
  EXPECT_EQ(IntToHex2(0), "00");
  EXPECT_EQ(IntToHex2(63), "3F");
  EXPECT_EQ(IntToHex2(300), "12C");
  EXPECT_EQ(IntToHex2(-1), "FFFFFFFF");
}

}  // namespace
}  // namespace korvane
