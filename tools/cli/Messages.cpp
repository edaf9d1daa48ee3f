#include "cli/Messages.h"

#include <map>

#include "device/ConfigImage.h"
#include "device/DeviceOperations.h"

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

std::string OverlongText(const CodeTable& table, Language language) {
  if (language == Language::Chinese) {
    return OverlongCodesText(table);
  }
  std::string text = "codes over 126 characters cannot be written; shorten them first:";
  for (const OverlongCode& code : FindOverlongCodes(table)) {
    text += " IO" + std::to_string(code.Button) + " " + SlotKey(code.Slot) + " (" +
            std::to_string(code.Length) + " characters)";
  }
  return text;
}

}  // namespace korvane::cli
