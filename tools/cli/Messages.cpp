#include "cli/Messages.h"

#include <algorithm>
#include <vector>

#include "device/ConfigImage.h"
#include "device/DeviceOperations.h"
#include "files/IniDocument.h"
#include "files/IniFile.h"

namespace korvane::cli {

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
  if (!file.Load()) {
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

}  // namespace

std::string OverlongText(const CodeTable& table, Language language,
                         const std::string& codeSetPath) {
  const std::vector<OverlongCode> codes = OverlongCodesInFile(table, codeSetPath);
  if (language == Language::Chinese) {
    return OverlongCodesText(codes, language);
  }
  std::string text = "codes over 126 characters cannot be written; shorten them first:";
  for (const OverlongCode& code : codes) {
    text += " IO" + std::to_string(code.Button) + " " + SlotKey(code.Slot) + " (" +
            std::to_string(code.Length) + " characters)";
  }
  return text;
}

std::string HandshakeReplyText(const std::string& replyHex, Language language) {
  const std::vector<std::string> preview = {LogPreview(replyHex)};
  switch (ClassifyHandshakeReply(replyHex)) {
    case HandshakeReplyKind::Nothing:
      return Text(TextId::kCliReplyNothing, language);
    case HandshakeReplyKind::Echo:
      return Text(TextId::kCliReplyEcho, language, preview);
    case HandshakeReplyKind::AnswerWithExtraBytes:
      return Text(TextId::kCliReplyExtraBytes, language, preview);
    case HandshakeReplyKind::Other:
      break;
  }
  return Text(TextId::kCliReplyOther, language, preview);
}

std::string OverlongAreasText(const std::string& replyHex, Language language) {
  std::string text;
  for (const ReplyArea& area : OverlongReplyAreas(replyHex)) {
    text += (text.empty() ? "" : ", ") +
            Text(TextId::kCliAreaLength, language,
                 {std::to_string(area.Button), SlotKey(area.Slot), std::to_string(area.Length)});
  }
  return text;
}

}  // namespace korvane::cli
