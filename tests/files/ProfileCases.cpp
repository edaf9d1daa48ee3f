#include "tests/files/ProfileCases.h"

#include <initializer_list>
#include <string_view>

namespace korvane::test {
namespace {

using namespace std::string_literals;

// Slots by the key that holds them.
enum Slot { kDown1 = 1, kDown2, kDown3, kDown4, kUp1, kUp2, kUp3, kUp4 };

struct Code {
  int button;
  int slot;
  std::string text;
};

// Every code empty but those given.
CodeTable TableOf(std::initializer_list<Code> codes) {
  CodeTable table;
  for (const auto& code : codes) {
    table.SetText(code.button, code.slot, code.text);
  }
  return table;
}

std::string Lines(std::initializer_list<std::string_view> lines, std::string_view eol = "\r\n") {
  std::string text;
  for (std::string_view line : lines) {
    text.append(line).append(eol);
  }
  return text;
}

// UTF-16LE with its byte-order mark.
std::string Utf16Le(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

// "请求编程" in code page 936.
const std::string kGbkWords = "\xC7\xEB\xC7\xF3\xB1\xE0\xB3\xCC";

std::string TwoButtons(std::string_view eol) {
  return Lines({"[Button1]", "ButtonDownSend1=0102", "ButtonUpSend4=A0B1", "", "[Button4]",
                "ButtonDownSend2=7F", "ButtonUpSend1="},
               eol);
}

const CodeTable kTwoButtons = TableOf({{1, kDown1, "0102"}, {1, kUp4, "A0B1"}, {4, kDown2, "7F"}});

// More than 64 KB of other sections before and between the tool's own.
std::string LargeFile() {
  std::string text = Lines({"[Button1]", "ButtonDownSend1=11"});
  for (int i = 0; i < 2000; ++i) {
    text += Lines({"[Other" + std::to_string(i) + "]", "ButtonDownSend1=FFFFFFFFFFFFFFFF"});
  }
  return text + Lines({"[Button4]", "ButtonUpSend4=44"});
}

std::vector<ProfileCase> LayoutCases() {
  return {
      {"CRLF line ends", TwoButtons("\r\n"), kTwoButtons, {}},
      {"LF line ends", TwoButtons("\n"), kTwoButtons, {}},
      {"CR line ends", TwoButtons("\r"), kTwoButtons, {}},
      {"mixed line ends, none at the end",
       "[Button1]\r\nButtonDownSend1=01\nButtonDownSend2=02\rButtonDownSend3=03",
       TableOf({{1, kDown1, "01"}, {1, kDown2, "02"}, {1, kDown3, "03"}}),
       {}},
      {"blanks and tabs",
       Lines({"  [ Button2 ]  ", " \tButtonDownSend1 \t= \t0102 \t", "\tButtonDownSend2=\t",
              "ButtonDownSend3 = 01 02 ", "Button DownSend4=44", "\t[Button3]\t",
              "ButtonUpSend1\t=\tAB"}),
       TableOf({{2, kDown1, "0102"}, {2, kDown3, "01 02"}, {3, kUp1, "AB"}}),
       {}},
      {"letter case",
       Lines({"[BUTTON1]", "buttondownsend1=11", "[button2]", "BUTTONUPSEND4=24", "[bUtToN3]",
              "ButtonDownSend2=32"}),
       TableOf({{1, kDown1, "11"}, {2, kUp4, "24"}, {3, kDown2, "32"}}),
       {}},
      {"keys outside the tool's sections",
       Lines({"ButtonDownSend1=00", "=no key", "[Button1]", "ButtonDownSend2=12", "ButtonDownSend3",
              "ButtonDownSend4 0102", "[Other]", "ButtonUpSend1=99"}),
       TableOf({{1, kDown2, "12"}}),
       {}},
      {"'=' inside a value",
       Lines({"[Button1]", "ButtonDownSend1=01=02", "ButtonDownSend2==03",
              "ButtonDownSend3 = a = b"}),
       TableOf({{1, kDown1, "01=02"}, {1, kDown2, "=03"}, {1, kDown3, "a = b"}}),
       {}},
      {"vertical tab and form feed around a value",
       Lines({"[Button1]", "ButtonDownSend1=\v0102\f"}),
       TableOf({{1, kDown1, "0102"}}),
       {}},
      {"empty file", "", {}, {}},
  };
}

std::vector<ProfileCase> QuoteCases() {
  return {
      {"matched quotes",
       Lines({"[Button1]", "ButtonDownSend1=\"0102\"", "ButtonDownSend2='0102'",
              "ButtonDownSend3=\"\"", "ButtonDownSend4=''", "ButtonUpSend1=\" 01 02 \"",
              "ButtonUpSend2= \t\"0102\"\t ", "ButtonUpSend3=\"01\"02\"",
              "ButtonUpSend4=\"'0102'\""}),
       TableOf({{1, kDown1, "0102"},
                {1, kDown2, "0102"},
                {1, kUp1, " 01 02 "},
                {1, kUp2, "0102"},
                {1, kUp3, "01\"02"},
                {1, kUp4, "'0102'"}}),
       {}},
      {"unmatched quotes",
       Lines({"[Button2]", "ButtonDownSend1=\"0102'", "ButtonDownSend2='0102\"",
              "ButtonDownSend3=x\"0102\"", "ButtonDownSend4=\"0102\"x", "ButtonUpSend1=\"0102\" ;c",
              "ButtonUpSend2=\"", "ButtonUpSend3='", "ButtonUpSend4=0102\""}),
       TableOf({{2, kDown1, "\"0102'"},
                {2, kDown2, "'0102\""},
                {2, kDown3, "x\"0102\""},
                {2, kDown4, "\"0102\"x"},
                {2, kUp1, "\"0102\" ;c"},
                {2, kUp2, "\""},
                {2, kUp3, "'"},
                {2, kUp4, "0102\""}}),
       {}},
  };
}

std::vector<ProfileCase> CommentAndDuplicateCases() {
  return {
      {"comments",
       Lines({"; head", "# head", "[Button1]", ";ButtonDownSend1=11", "#ButtonDownSend2=22",
              "  ; ButtonDownSend3=33", "ButtonDownSend4=0102 ;c", "ButtonUpSend1=0102;c",
              "[Button2] ; trailing", "ButtonUpSend2=22", ";[Button3]", "ButtonUpSend3=33"}),
       TableOf({{1, kDown4, "0102 ;c"}, {1, kUp1, "0102;c"}, {2, kUp2, "22"}, {2, kUp3, "33"}}),
       {}},
      {"duplicate keys",
       Lines({"[Button1]", "ButtonDownSend1=first", "buttondownsend1=second",
              " ButtonDownSend1 = third"}),
       TableOf({{1, kDown1, "first"}}),
       {}},
      {"duplicate sections",
       Lines({"[Button1]", "ButtonDownSend1=11", "[Button2]", "ButtonDownSend1=21", "[button1]",
              "ButtonDownSend1=99", "ButtonUpSend1=55"}),
       TableOf({{1, kDown1, "11"}, {2, kDown1, "21"}}),
       {}},
  };
}

std::vector<ProfileCase> EncodingAndSizeCases() {
  return {
      {"code page 936 text",
       Lines({"[Button3]", "ButtonUpSend2=" + kGbkWords}),
       TableOf({{3, kUp2, kGbkWords}}),
       {}},
      {"UTF-16LE with byte-order mark",
       Utf16Le(u"[Button1]\r\nButtonDownSend1=0102\r\nButtonUpSend1=\u8BF7\u6C42\u7F16\u7A0B\r\n"
               u"[Button2]\r\nButtonDownSend1=\"0A0B\"\r\n"),
       TableOf({{1, kDown1, "0102"}, {1, kUp1, kGbkWords}, {2, kDown1, "0A0B"}}),
       {}},
      {"very long line",
       Lines({"[Button1]", "ButtonDownSend1=" + std::string(5000, 'A'),
              "; " + std::string(70000, 'c'), "ButtonDownSend2=\"" + std::string(3000, 'B') + "\"",
              "ButtonDownSend3=" + std::string(2047, 'C')}),
       TableOf({{1, kDown1, std::string(2047, 'A')},
                {1, kDown2, std::string(2047, 'B')},
                {1, kDown3, std::string(2047, 'C')}}),
       {}},
      {"file over 64 KB", LargeFile(), TableOf({{1, kDown1, "11"}, {4, kUp4, "44"}}), {}},
  };
}

// Files whose reading by Wine is Wine's own rule, not shown to be Windows'
// (Wine's tests, dlls/kernel32/tests/profile.c, run on Windows as well and
// have no such file), so Wine's answer proves nothing. Our reader keeps to
// its rules there; the table holds what it reads.
std::vector<ProfileCase> WineDifferences() {
  const std::string kSource = "; no such file in Wine's tests (dlls/kernel32/tests/profile.c)";
  return {
      {"section header holding a second ']'",
       Lines({"[Button1]]", "ButtonDownSend1=11", "[Butt]on2]", "ButtonDownSend1=21"}),
       TableOf({{1, kDown1, "11"}}),
       "Wine ends a section name at the last ']' of its line, so [Button1]] is not Button1" +
           kSource},
      {"NUL inside a line",
       "[Button1]\r\nButtonDownSend1=01\0"
       "02\r\nButtonDownSend2=22\r\n"s,
       TableOf({{1, kDown1,
                 "01\0"
                 "02"s},
                {1, kDown2, "22"}}),
       "Wine ends the value at the NUL byte; its tests put NUL bytes in a file only before the "
       "first section, and mark that Windows keeps them in a rewritten file where Wine does not "
       "(todo_wine in "
       "test_WritePrivateProfileString, dlls/kernel32/tests/profile.c)"},
      {"Ctrl-Z", Lines({"[Button1]", "ButtonDownSend1=0102\x1A", "\x1A", "ButtonDownSend2=22"}),
       TableOf({{1, kDown1, "0102\x1A"}, {1, kDown2, "22"}}),
       "Wine takes Ctrl-Z (the DOS end of file) for a blank around names and values" + kSource},
      {"quoted value of 2047 characters",
       Lines({"[Button1]", "ButtonDownSend1=\"" + std::string(2047, 'Q') + "\""}),
       TableOf({{1, kDown1, std::string(2047, 'Q')}}),
       "Wine drops the last character as well when the closing quotation mark falls just "
       "beyond the 2048-character buffer; its tests strip quotes only from values that fit" +
           kSource},
  };
}

}  // namespace

std::vector<ProfileCase> ProfileCases() {
  std::vector<ProfileCase> cases;
  for (auto group : {LayoutCases(), QuoteCases(), CommentAndDuplicateCases(),
                     EncodingAndSizeCases(), WineDifferences()}) {
    cases.insert(cases.end(), group.begin(), group.end());
  }
  return cases;
}

}  // namespace korvane::test
