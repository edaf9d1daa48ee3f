#include "serial/CommError.h"

namespace korvane {
namespace {

class TCommCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "serial"; }
  std::string message(int value) const override {
    switch (static_cast<TCommErrc>(value)) {
      case TCommErrc::NotCommDevice:
        return "not a serial device";
      case TCommErrc::PortInUse:
        return "in use by another program";
      case TCommErrc::RateNotOffered:
        return "baud rate not offered";
      case TCommErrc::SettingsNotTaken:
        return "settings not taken";
    }
    return "serial error " + std::to_string(value);
  }
};

}  // namespace

const std::error_category& CommCategory() {
  static const TCommCategory category;
  return category;
}

std::error_code make_error_code(TCommErrc error) {
  return {static_cast<int>(error), CommCategory()};
}

std::string CommText(TextId id) {
  return Text(id, Language::English);
}

std::string CommTextArg(const std::string& portOpenError) {
  for (const TextId id :
       {TextId::kPortAlreadyOpened, TextId::kPortErrorOpening, TextId::kPortNotCommHandle,
        TextId::kPortNoCommBuffer, TextId::kPortNoStopEvent, TextId::kPortNoReadThread,
        TextId::kPortNoWriteThread, TextId::kPortLineSettingsRefused}) {
    if (CommText(id) == portOpenError) {
      return TextArg(id);
    }
  }
  return portOpenError;
}

}  // namespace korvane
