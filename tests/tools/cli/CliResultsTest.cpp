#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "cli/CodeCheck.h"
#include "cli/ImageFolder.h"
#include "cli/Json.h"
#include "cli/Messages.h"
#include "cli/PortSelection.h"
#include "cli/Progress.h"
#include "cli/ResultsLog.h"
#include "cli/Sha256.h"
#include "cli/Verify.h"
#include "device/ConfigImage.h"
#include "serial/CommError.h"
#include "tests/support/TempDir.h"

namespace korvane::cli {
namespace {

TEST(CliResults, VerifyExpectsWhatTheDeviceReportsCodeByCode) {
  CodeTable file;
  file.SetText(1, 1, "0a0b");
  file.SetText(2, 2, "12 34");
  file.SetText(3, 3, "ABC");
  CodeTable device;
  device.SetText(1, 1, "0A0B");  // read-back is upper case
  device.SetText(2, 2, ExpectedDeviceText("12 34"));
  device.SetText(3, 3, "AB");  // one byte short of what "ABC" becomes
  device.SetText(4, 1, "FF");  // a code the file does not have
  const auto differences = CompareWithDevice(file, 2, device, 1);
  ASSERT_EQ(differences.size(), 3u);
  EXPECT_EQ(differences[0].Code, "IO3 ButtonDownSend3");
  EXPECT_EQ(differences[0].Expected, ExpectedDeviceText("ABC"));
  EXPECT_EQ(differences[1].Code, "IO4 ButtonDownSend1");
  EXPECT_EQ(differences[1].Actual, "FF");
  EXPECT_EQ(differences[2].Code, "baud rate");
  EXPECT_EQ(differences[2].Expected + "/" + differences[2].Actual, "19200/9600");
  device.SetText(3, 3, ExpectedDeviceText("ABC"));
  device.SetText(4, 1, "");
  EXPECT_TRUE(CompareWithDevice(file, 2, device, 2).empty());
}

// The standard's examples, then lengths around the padding's edges (55 bytes
// leave room for the length in the last block, 56 do not, 64 fill a block), in
// bytes above 0x7F too, which must not leak sign bits into the words.
TEST(CliResults, Sha256MatchesTheKnownDigests) {
  const struct {
    std::string bytes;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
       "nopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(56, '\xA5'), "4cf71e2b0aa0fcc0c271f68353026a77b8e50153632a8e4a73833cd64080e92e"},
      {std::string(64, '\xA5'), "bb626e5577021df95ea17eb6339e75904855b80087e40660931c4a89b302f74a"},
      {std::string(119, '\xA5'),
       "d4f197a1127980fe239c189bab09428d00de243c790ea7cad66f03928d992c89"},
      {std::string(120, 'a'), "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sha256Hex(c.bytes), c.digest) << c.bytes.size() << " bytes";
  }
}

// Texts from devices and files may hold any bytes (GBK, cut sequences): each
// stray byte or cut sequence becomes U+FFFD and the document stays valid.
TEST(CliResults, JsonTextsStayValidWhateverBytesTheyHold) {
  const std::string fffd = "\xEF\xBF\xBD";
  const struct {
    std::string text;
    std::string quoted;
  } cases[] = {
      {"a\"b\\c\n\t\x01", R"("a\"b\\c\n\t\u0001")"},
      {"配置成功!", "\"配置成功!\""},
      {"\xC7\xEB"
       "A\xE9",
       "\"" + fffd + fffd + "A" + fffd + "\""},            // GBK, then a cut sequence at the end
      {"\xE9\x85z", "\"" + fffd + "z\""},                  // a cut sequence before ASCII
      {"\xC0\xAF\xFF", "\"" + fffd + fffd + fffd + "\""},  // overlong, and a byte never valid
      {"\xED\xA0\x80", "\"" + fffd + fffd + fffd + "\""},  // a surrogate
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JsonQuote(c.text), c.quoted) << c.text;
  }
  // Keys too; members keep the order they were added in, as the documents list them.
  const std::string text = JsonObject()
                               .Add("port", "KS\xC7\xEB")
                               .Add("usb", nullptr)
                               .Add("a\xFF", Json::array({1, true}))
                               .Text();
  EXPECT_EQ(text, R"({"port":"KS)" + fffd + fffd + R"(","usb":null,"a)" + fffd + R"(":[1,true]})");
  EXPECT_EQ(Json::parse(text)["port"], "KS" + fffd + fffd);
}

TEST(CliResults, ResultsLogLinesStayWholeWhenPortsFinishTogether) {
  test::TempDir dir;
  TResultsLog log(dir.File("station.jsonl"));
  ASSERT_TRUE(log.CheckWritable()) << log.CheckWritable().Message();
  std::vector<std::thread> ports;
  for (int port = 0; port < 8; ++port) {
    ports.emplace_back([&log, port] {
      for (int run = 0; run < 50; ++run) {
        EXPECT_TRUE(
            log.Append(JsonObject().Add("port", port).Add("pad", std::string(300, 'x')).Text()));
      }
    });
  }
  for (auto& thread : ports) {
    thread.join();
  }
  std::istringstream lines(test::ReadBytes(log.Path()));
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    EXPECT_EQ(line.size(), std::string(R"({"port":0,"pad":""})").size() + 300) << line;
  }
  EXPECT_EQ(count, 400);
  const TStatus missing = TResultsLog(dir.File("no/such/folder.jsonl")).CheckWritable();
  EXPECT_NE(missing.Message().find("No such file"), std::string::npos) << missing.Message();
  const TStatus full = TResultsLog("/dev/full").Append("{}");
  EXPECT_NE(full.Message().find("No space left on device"), std::string::npos) << full.Message();
}

bool HasChinese(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char byte) { return (byte & 0x80) != 0; });
}

// Every text of the tool's own section has Chinese words, and what makes the
// tool's messages says them in the language asked for, while the phase that
// the JSON documents carry stays the same in both.
TEST(CliResults, MessagesAreChineseWhenChineseIsAsked) {
  for (const TextId id : AllTextIds()) {
    if (id >= TextId::kCliUnexpectedError && id <= TextId::kCliReplyOther) {
      const std::vector<std::string> args = {"a", "b", "c", "d", "e"};
      EXPECT_TRUE(HasChinese(Text(id, Language::Chinese, args))) << Text(id, Language::English);
    }
  }
  test::TempDir dir;
  const auto phaseOf = [](Phase phase, Language language) {
    TProgressBoard board(std::cerr, TProgressBoard::Mode::Silent);
    TPortOperator oper(board, "P", language, false);
    oper.SetPhase(phase);
    return oper.PhaseName() + "|" + oper.PhaseText();
  };
  using Make = std::function<std::string(Language)>;
  const std::vector<std::pair<const char*, Make>> makers = {
      {"no answer", [](Language l) { return HandshakeReplyText("", l); }},
      {"echo", [](Language l) { return HandshakeReplyText("C7EBC7F3B1E0B3CC", l); }},
      {"odd code",
       [](Language l) {
         return BadCodeText({1, 1, "ABC"}, l);
       }},
      {"not hex",
       [](Language l) {
         return BadCodeText({2, 3, "XY"}, l);
       }},
      {"no match", [](Language l) { return SelectPorts({"serial=NONE"}, {}).Error().Words(l); }},
      {"same device",
       [](Language l) {
         return SelectPorts({"/dev/tty0", "/dev/tty0"}, {}).Error().Words(l);
       }},
      {"log",
       [&](Language l) {
         return TResultsLog(dir.File("none/log.jsonl")).CheckWritable().Error().Words(l);
       }},
      {"image dir",
       [&](Language l) { return TImageFolder().Prepare(dir.File("none")).Error().Words(l); }},
      {"phase", [&](Language l) { return phaseOf(Phase::Verifying, l); }},
      {"port open",
       [](Language l) { return ArgWords(CommTextArg("File handle is not a comm handle "), l); }},
  };
  for (const auto& [what, make] : makers) {
    const std::string english = make(Language::English);
    const std::string chinese = make(Language::Chinese);
    EXPECT_FALSE(HasChinese(english)) << what << ": " << english;
    EXPECT_TRUE(HasChinese(chinese)) << what << ": " << chinese;
  }
  EXPECT_EQ(phaseOf(Phase::Reading, Language::Chinese), "reading|读取数据");
  EXPECT_EQ(SelectionExit(SelectPorts({"/dev/tty0", "/dev/tty0"}, {}).Error()), 2);
  EXPECT_EQ(SelectionExit(SelectPorts({"serial=NONE"}, {}).Error()), 10);
}

TEST(CliResults, ProgressWithoutTerminalPrintsOneLinePerPhase) {
  std::ostringstream err;
  {
    TProgressBoard board(err, TProgressBoard::Mode::Lines);
    TPortOperator oper(board, "KSIM1", Language::English, true);
    oper.SetPhase(Phase::Connecting);
    oper.Tick();  // a wait in the handshake: no line
    oper.CreateProgress(0, 36, 1);
    for (int step = 0; step < 37; ++step) {
      oper.StepProgress();
    }
    oper.SetPhase(Phase::Verifying);
    oper.CreateProgress(0, 4, 1);
    for (int step = 0; step < 4; ++step) {
      oper.StepProgress();
    }
    EXPECT_FALSE(oper.Percent() >= 100);
  }
  std::vector<std::string> phases;
  std::istringstream lines(err.str());
  for (std::string line; std::getline(lines, line);) {
    phases.push_back(line.substr(0, line.find("  ")));
  }
  const std::vector<std::string> expected = {
      "korvane-cli: KSIM1: connecting", "korvane-cli: KSIM1: building",
      "korvane-cli: KSIM1: block 1/5",  "korvane-cli: KSIM1: block 2/5",
      "korvane-cli: KSIM1: block 3/5",  "korvane-cli: KSIM1: block 4/5",
      "korvane-cli: KSIM1: block 5/5",  "korvane-cli: KSIM1: verifying"};
  EXPECT_EQ(phases, expected) << err.str();

  std::ostringstream quiet;
  TProgressBoard silent(quiet, TProgressBoard::Mode::Silent);
  TPortOperator(silent, "KSIM2", Language::English, false).SetPhase(Phase::Reading);
  EXPECT_EQ(quiet.str(), "");
}

TEST(CliResults, TerminalRowsAreRedrawnInPlaceOnePerPort) {
  std::ostringstream err;
  TProgressBoard board(err, TProgressBoard::Mode::Terminal);
  const std::size_t first = board.AddRow("KSIM1");
  const std::size_t second = board.AddRow("KSIM2");
  board.SetRow(first, "connecting", true);
  board.SetRow(second, "building", true);
  board.SetRow(first, "block 1/5", true);
  const std::string redraw = "\033[2A\r\033[J";  // up over both rows, erase them
  const std::string text = err.str();
  ASSERT_NE(text.rfind(redraw), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.rfind(redraw) + redraw.size()), "KSIM1: block 1/5\nKSIM2: building\n");
  board.Note("korvane-cli: KSIM2: warning");  // above the rows, which follow again
  EXPECT_EQ(err.str().substr(text.size()),
            redraw + "korvane-cli: KSIM2: warning\nKSIM1: block 1/5\nKSIM2: building\n");
  board.Clear();
  EXPECT_EQ(err.str().substr(err.str().size() - redraw.size()), redraw);
}

}  // namespace
}  // namespace korvane::cli
