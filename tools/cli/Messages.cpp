#include "cli/Messages.h"

#include <algorithm>
#include <map>
#include <vector>

#include "device/ConfigImage.h"
#include "device/DeviceOperations.h"
#include "files/IniDocument.h"
#include "files/IniFile.h"

namespace korvane::cli {

std::string DeviceText(const std::string& text, Language language) {
  static const std::map<std::string, std::string> kEnglish = {
      {kTextPortClosed, "the serial port is not open; is it in use?"},
      {kTextHandshakeFailed,
       "the device did not accept the programming request; check the connection"},
      {kTextFileFault, "the image file could not be prepared"},
      {kTextBlockFailed, "programming failed: a block was not acknowledged; program again"},
      {kTextProgramSuccess, "programmed"},
      {kTextImageBusy, "the image file is in use by another program; try again when it is done"},
      {kTextReadFailed, "the device's reply could not be read (wrong length)"},
      {kTextReadSuccess, "read"},
  };
  if (language == Language::Chinese) {
    return text;
  }
  const auto found = kEnglish.find(text);
  return found != kEnglish.end() ? found->second : text;
}

namespace {

// The over-long codes with their lengths in the code set file: a lookup hands
// back at most kMaxProfileValueChars characters, the file may hold more.
std::vector<OverlongCode> OverlongCodesInFile(const CodeTable& table,
                                              const std::string& codeSetPath) {
  std::vector<OverlongCode> codes = FindOverlongCodes(table);
  if (codeSetPath.empty()) {
    return codes;
  }
  IniFile file(codeSetPath);
  if (file.Load() == LoadStatus::kUnreadable) {
    return codes;
  }
  for (OverlongCode& code : codes) {
    if (code.Length < kMaxProfileValueChars) {
      continue;
    }
    const auto value =
        file.Document().Find("Button" + std::to_string(code.Button), SlotKey(code.Slot));
    if (value) {
      code.Length = std::max(code.Length, value->size());
    }
  }
  return codes;
}

// Whether the hex text `answerHex` stands in `logHex` at a byte boundary.
bool HoldsAnswer(const std::string& logHex, const std::string& answerHex) {
  for (std::size_t at = logHex.find(answerHex); at != std::string::npos;
       at = logHex.find(answerHex, at + 1)) {
    if (at % 2 == 0) {
      return true;
    }
  }
  return false;
}

std::string HexPreview(const std::string& hex) {
  constexpr std::size_t kShownHex = 48;
  return hex.size() > kShownHex ? hex.substr(0, kShownHex) + "..." : hex;
}

}  // namespace

std::string OverlongText(const CodeTable& table, Language language,
                         const std::string& codeSetPath) {
  const std::vector<OverlongCode> codes = OverlongCodesInFile(table, codeSetPath);
  if (language == Language::Chinese) {
    return OverlongCodesText(codes);
  }
  std::string text = "codes over 126 characters cannot be written; shorten them first:";
  for (const OverlongCode& code : codes) {
    text += " IO" + std::to_string(code.Button) + " " + SlotKey(code.Slot) + " (" +
            std::to_string(code.Length) + " characters)";
  }
  return text;
}

std::string HandshakeReplyText(const std::string& replyHex) {
  if (replyHex.empty()) {
    return "the port answered nothing (is a device connected, powered and on this port?)";
  }
  if (replyHex.rfind(kProgramRequestHex, 0) == 0) {
    return "the port echoed the request back (" + HexPreview(replyHex) +
           "): a loopback, or an adapter or device that echoes";
  }
  if (HoldsAnswer(replyHex, kProgramAcceptedHex)) {
    return "the device answered with extra bytes (" + HexPreview(replyHex) +
           "), and only the answer alone is accepted";
  }
  return "the port answered with bytes that are not the answer (" + HexPreview(replyHex) +
         "): another device, or a wrong line speed?";
}

std::string OverlongAreasText(const std::string& replyHex) {
  std::string text;
  for (const ReplyArea& area : OverlongReplyAreas(replyHex)) {
    text += (text.empty() ? "IO" : ", IO") + std::to_string(area.Button) + " " +
            SlotKey(area.Slot) + " (length " + std::to_string(area.Length) + ")";
  }
  return text;
}

}  // namespace korvane::cli
