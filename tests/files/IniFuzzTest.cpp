#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string_view>
#include <vector>

#include "files/IniDocument.h"

namespace korvane {
namespace {

const std::vector<std::string> kPieces = {"[",
                                          "]",
                                          "=",
                                          ";",
                                          " ",
                                          "\t",
                                          "\r",
                                          "\n",
                                          "\r\n",
                                          "\xEF\xBB\xBF",
                                          "\xC7\xEB",
                                          "\x00",
                                          "\xFF",
                                          "Button1",
                                          "bUTTON1",
                                          "Button2",
                                          "ButtonDownSend1",
                                          "buttonupsend4",
                                          "0102FF",
                                          "\"",
                                          "'"};

const std::string kSample =
    "\xEF\xBB\xBF; c\r\n[Button1]\r\nButtonDownSend1 = 01\r\n\r\n[Button2]\nButtonUpSend4=FF";

std::string RandomInput(std::mt19937& rng) {
  std::string text;
  const int parts = std::uniform_int_distribution<int>(0, 40)(rng);
  for (int i = 0; i < parts; ++i) {
    if (rng() % 4 == 0) {
      text += static_cast<char>(rng() & 0xFF);
    } else {
      text += kPieces[rng() % kPieces.size()];
    }
  }
  return text;
}

std::string MutatedSample(std::mt19937& rng) {
  std::string text = kSample;
  const int edits = std::uniform_int_distribution<int>(1, 6)(rng);
  for (int i = 0; i < edits && !text.empty(); ++i) {
    const std::size_t at = rng() % text.size();
    switch (rng() % 3) {
      case 0:
        text[at] = static_cast<char>(rng() & 0xFF);
        break;
      case 1:
        text.erase(at, rng() % 8);
        break;
      default:
        text.insert(at, kPieces[rng() % kPieces.size()]);
        break;
    }
  }
  return text;
}

// Parses from a heap block of exactly the input's size, so that AddressSanitizer
// sees any read past its end.
IniDocument ParseExact(const std::string& input) {
  const auto block = std::make_unique<char[]>(input.size());
  std::copy(input.begin(), input.end(), block.get());
  return IniDocument::Parse(std::string_view(block.get(), input.size()));
}

TEST(IniFuzz, RandomInputsParseLookUpAndEditSafely) {
  std::mt19937 rng(20261208);
  const std::pair<const char*, const char*> probes[] = {
      {"Button1", "ButtonDownSend1"}, {"button2", "BUTTONUPSEND4"}, {"", "x"}, {"Button1", ";"}};
  for (int round = 0; round < 20000; ++round) {
    const std::string input = round % 2 ? RandomInput(rng) : MutatedSample(rng);
    IniDocument doc = ParseExact(input);
    ASSERT_EQ(doc.Serialize(), input) << "round " << round;

    const std::string value = std::string(rng() % 40, 'A') + "0f";
    const auto untouched = doc.Find("button2", "ButtonUpSend4");
    for (const auto& [section, key] : probes) {
      EXPECT_LE(doc.Get(section, key, "").size(), kMaxProfileValueChars);
    }
    ASSERT_TRUE(doc.Set("Button1", "ButtonDownSend1", value));
    const IniDocument reread = ParseExact(doc.Serialize());
    ASSERT_EQ(reread.Get("BUTTON1", "buttondownsend1", "-"), value) << "round " << round;
    ASSERT_EQ(reread.Find("button2", "ButtonUpSend4"), untouched) << "round " << round;
  }
}

}  // namespace
}  // namespace korvane
