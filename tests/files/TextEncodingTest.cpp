#include "files/TextEncoding.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include "files/CodeSetFile.h"
#include "files/IniFile.h"
#include "tests/support/TempDir.h"

namespace korvane {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

#ifdef _WIN32
// The system's own conversion, to check ours against: UTF-8 to and from
// UTF-16LE or UTF-16BE, the only pairs the tests need.
std::string Iconv(const std::string& to, const std::string& from, const std::string& text) {
  const bool bigEndian = to == "UTF-16BE" || from == "UTF-16BE";
  auto swapped = [bigEndian](std::string bytes) {
    for (std::size_t i = 0; bigEndian && i + 1 < bytes.size(); i += 2) {
      std::swap(bytes[i], bytes[i + 1]);
    }
    return bytes;
  };
  const int size = static_cast<int>(text.size());
  if (from == "UTF-8") {
    std::wstring wide(text.size(), L'\0');
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), size);
    wide.resize(static_cast<std::size_t>(units));
    return swapped(std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2));
  }
  std::wstring wide(text.size() / 2, L'\0');
  std::memcpy(wide.data(), swapped(text).data(), wide.size() * 2);
  std::string out(text.size() * 2, '\0');
  const int bytes =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(),
                            static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(static_cast<std::size_t>(bytes));
  return out;
}
#else
// glibc's own conversion, to check ours against.
std::string Iconv(const char* to, const char* from, const std::string& text) {
  const iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error("iconv_open");
  }
  std::string out(text.size() * 4 + 8, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* outAt = out.data();
  std::size_t outLeft = out.size();
  const std::size_t result = ::iconv(cd, &in, &inLeft, &outAt, &outLeft);
  ::iconv_close(cd);
  if (result == static_cast<std::size_t>(-1)) {
    throw std::runtime_error("iconv");
  }
  out.resize(out.size() - outLeft);
  return out;
}
#endif

const std::string kRequestGbk = "\xC7\xEB\xC7\xF3\xB1\xE0\xB3\xCC";  // 请求编程

// A file saved as "Unicode" by an editor: a comment that code page 936
// cannot hold all of, Chinese in a value, CRLF line ends.
const std::string kUnicodeFile =
    "; 按键配置 \xF0\x9F\x98\x80 \xC3\xA9\r\n"
    "[Button1]\r\nButtonDownSend1=0102FF\r\nButtonUpSend4=请求编程\r\n"
    "[Button4]\r\nButtonUpSend2=AB\r\n";

TEST(UnicodeCodeSetFile, LoadsItsCodesAndSavesInItsOwnEncoding) {
  struct Case {
    const char* name;
    std::string mark;
    const char* iconvName;  // nullptr: UTF-8
  };
  for (const Case& c :
       {Case{"UTF-16LE", "\xFF\xFE", "UTF-16LE"}, Case{"UTF-16BE", "\xFE\xFF", "UTF-16BE"},
        Case{"UTF-8", "\xEF\xBB\xBF", nullptr}}) {
    SCOPED_TRACE(c.name);
    auto encode = [&](const std::string& utf8) {
      return c.mark + (c.iconvName ? Iconv(c.iconvName, "UTF-8", utf8) : utf8);
    };
    auto decode = [&](const std::string& bytes) {
      EXPECT_EQ(bytes.substr(0, c.mark.size()), c.mark);
      const std::string body = bytes.substr(c.mark.size());
      return c.iconvName ? Iconv("UTF-8", c.iconvName, body) : body;
    };
    TempDir dir;
    const auto path = dir.File("unicode.IOS");
    WriteBytes(path, encode(kUnicodeFile));

    CodeTable table;
    ASSERT_TRUE(LoadCodeSet(table, path));
    EXPECT_EQ(table.Text(1, 1), "0102FF");
    EXPECT_EQ(table.Text(1, 8), kRequestGbk);
    EXPECT_EQ(table.Text(4, 6), "AB");

    table.SetText(1, 1, "0A0B");
    table.SetText(2, 3, kRequestGbk + "01");
    ASSERT_TRUE(SaveCodeSet(table, path));
    const std::string saved = decode(ReadBytes(path));
    EXPECT_EQ(saved.substr(0, saved.find("[Button1]")), "; 按键配置 \xF0\x9F\x98\x80 \xC3\xA9\r\n");
    EXPECT_NE(saved.find("ButtonDownSend1=0A0B\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("ButtonUpSend4=请求编程\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("ButtonDownSend3=请求编程01\r\n"), std::string::npos) << saved;

    CodeTable reloaded;
    ASSERT_TRUE(LoadCodeSet(reloaded, path));
    for (int button = 1; button <= kButtonCount; ++button) {
      EXPECT_EQ(reloaded.Button(button).Slots, table.Button(button).Slots) << button;
    }
  }
}

// What code page 936 lacks becomes '?', as with the system's own services;
// broken UTF-16 or UTF-8 becomes U+FFFD.
TEST(UnicodeCodeSetFile, ConvertsAsTheSystemDoes) {
  TempDir dir;
  const auto path = dir.File("u.IOS");
  WriteBytes(path,
             "\xFF\xFE" + Iconv("UTF-16LE", "UTF-8", "[A]\r\nk=\xC3\xA9x\xF0\x9F\x98\x80\r\n"));
  IniFile ini(path);
  const TResult<bool> loaded = ini.Load();
  ASSERT_TRUE(loaded && loaded.Value());
  EXPECT_EQ(ini.Encoding(), TextEncoding::kUtf16Le);
  EXPECT_EQ(ini.Get("A", "k", ""), "\xA8\xA6x?");

  EXPECT_EQ(Utf16ToUtf8(std::string("\x00\xD8!\0x", 5), false), "\xEF\xBF\xBD!\xEF\xBF\xBD");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80\xFFz", true),
            std::string("\xD8\x3D\xDE\x00\xFF\xFD\0z", 8));
  EXPECT_EQ(CodePageToUtf8(kRequestGbk).Value(), "请求编程");
  EXPECT_EQ(DetectEncoding("[A]"), TextEncoding::kCodePage);
}

// On a system without the conversion a file with a byte-order mark cannot be
// read, and so is never overwritten; a file in the code page needs none.
TEST(UnicodeCodeSetFile, WithoutTheSystemsConversionOnlyAMarkedFileFails) {
  constexpr unsigned kNoSuchCodePage = 70000;
  const std::string noConversion = "no conversion between code page 70000 and UTF-8 on this system";
  const TResult<CodePageConverter> converter = CodePageConverter::Open(kNoSuchCodePage);
  ASSERT_FALSE(converter);
  EXPECT_EQ(converter.Error().Words(Language::English), noConversion);

  struct Case {
    const char* name;
    std::string bytes;
    bool loads;
  };
  for (const Case& c :
       {Case{"code page", "[A]\r\nk=" + kRequestGbk + "\r\n", true},
        Case{"UTF-8", "\xEF\xBB\xBF[A]\r\nk=v\r\n", false},
        Case{"UTF-16LE", "\xFF\xFE" + Iconv("UTF-16LE", "UTF-8", "[A]\r\nk=v\r\n"), false}}) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const auto path = dir.File("codes.IOS");
    WriteBytes(path, c.bytes);
    IniFile ini(path, kNoSuchCodePage);
    const TResult<bool> loaded = ini.Load();
    ASSERT_EQ(loaded.Ok(), c.loads);
    EXPECT_EQ(ini.Get("A", "k", "-"), c.loads ? kRequestGbk : "-");
    EXPECT_TRUE(ini.Set("A", "k", "0102"));
    EXPECT_EQ(ini.Save().Ok(), c.loads);
    EXPECT_EQ(ReadBytes(path) == c.bytes, !c.loads);
    if (!c.loads) {
      EXPECT_EQ(loaded.Error().Words(Language::English),
                "cannot read " + path + ": " + noConversion);
      EXPECT_NE(loaded.Error().Words(Language::Chinese).find("无法读取"), std::string::npos);
      EXPECT_NE(loaded.Error().Words(Language::Chinese).find("代码页 70000"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace korvane
