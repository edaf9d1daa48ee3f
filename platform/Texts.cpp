#include "platform/Texts.h"

#include <array>
#include <cstddef>

namespace korvane {
namespace {

struct TextEntry {
  TextId Id;
  const char* Chinese;
  const char* English;
};

// The editor's Chinese texts are the device's own: they are kept byte for
// byte (a golden list in the tests guards them).
constexpr TextEntry kTexts[] = {
    {TextId::kCaptionWarning, "警告", "Warning"},
    {TextId::kCaptionSuccess, "成功", "Success"},
    {TextId::kCaptionDone, "完成", "Done"},
    {TextId::kPortClosed, "没有打开通讯串口，请检查是否占用！",
     "No serial port is open. Check whether it is in use!"},
    {TextId::kHandshakeFailed, "设备没办法接受编程请求！请检查通讯是否正常!",
     "The device did not accept the programming request! Check the connection!"},
    {TextId::kFileFault, "配置文件操作失败!", "The configuration file could not be handled!"},
    {TextId::kBlockFailed, "配置失败!请重新配置!", "Programming failed! Please program again!"},
    {TextId::kProgramSuccess, "配置成功!", "Programming succeeded!"},
    {TextId::kImageBusy, "配置文件正被另一个程序使用，请等它写入完成后再试!",
     "Another program is using the configuration file. Try again when it has finished writing!"},
    {TextId::kReadConfirm, "是否读取数据？如果确定当前的数据给被更改!",
     "Read the codes from the device? OK replaces the current codes!"},
    {TextId::kReadFailed, "读取数据出错！", "Reading the data failed!"},
    {TextId::kReadSuccess, "读取数据成功！", "Data read successfully!"},

    // Serial ports: opening, identity, diagnosis.
    {TextId::kPortNotFound, "{1}：没有这个串口（{2}）", "{1}: no such serial port ({2})"},
    {TextId::kPortNotSerial, "{1}：不是串口设备", "{1}: not a serial device"},
    {TextId::kPortInUse, "{1}：正被另一个程序使用", "{1}: in use by another program"},
    {TextId::kPortCannotOpen, "{1}：无法打开（{2}）", "{1}: cannot be opened ({2})"},
    {TextId::kPortPermissionJoinGroup,
     "{1}：没有权限（模式 {2}，所有者“{3}”，组“{4}”）。请把您的用户加入组“{4}”"
     "（sudo usermod -aG {4} $USER），然后重新登录。",
     "{1}: permission denied (mode {2}, owner '{3}', group '{4}'). Add your user to group '{4}' "
     "(sudo usermod -aG {4} $USER) and log in again."},
    {TextId::kPortPermissionOwnerOnly,
     "{1}：没有权限（模式 {2}，所有者“{3}”，组“{4}”）。只有用户“{3}”能打开它：请以该用户运行，"
     "或请管理员给设备设置一个有读写权限的组（例如 udev 规则 GROUP=\"dialout\", MODE=\"0660\"）。",
     "{1}: permission denied (mode {2}, owner '{3}', group '{4}'). Only user '{3}' can open it: "
     "run "
     "as that user, or have an administrator give the device a group with read and write access "
     "(for example a udev rule with GROUP=\"dialout\", MODE=\"0660\")."},
    {TextId::kPortPermissionOwnerAndAdmins,
     "{1}：没有权限（模式 {2}，所有者“{3}”，组“{4}”）。只有用户“{3}”和管理员组“{4}”能打开它："
     "请以该用户运行，或请管理员给设备设置一个有读写权限的组"
     "（例如 udev 规则 GROUP=\"dialout\", MODE=\"0660\"）。",
     "{1}: permission denied (mode {2}, owner '{3}', group '{4}'). Only user '{3}' and the "
     "administrators' group '{4}' can open it: run as that user, or have an administrator give the "
     "device a group with read and write access (for example a udev rule with GROUP=\"dialout\", "
     "MODE=\"0660\")."},
};

const TextEntry* Find(TextId id) {
  for (const TextEntry& entry : kTexts) {
    if (entry.Id == id) {
      return &entry;
    }
  }
  return nullptr;
}

std::string Fill(const char* pattern, const std::vector<std::string>& args) {
  std::string text;
  for (const char* p = pattern; *p != '\0'; ++p) {
    const bool placeholder = p[0] == '{' && p[1] >= '1' && p[1] <= '9' && p[2] == '}';
    const auto index = placeholder ? static_cast<std::size_t>(p[1] - '1') : 0;
    if (placeholder && index < args.size()) {
      text += args[index];
      p += 2;
    } else {
      text.push_back(*p);
    }
  }
  return text;
}

}  // namespace

std::string Text(TextId id, Language language, const std::vector<std::string>& args) {
  const TextEntry* entry = Find(id);
  if (entry == nullptr) {
    return {};
  }
  return Fill(language == Language::Chinese ? entry->Chinese : entry->English, args);
}

const std::vector<TextId>& AllTextIds() {
  static const std::vector<TextId> ids = [] {
    std::vector<TextId> all;
    for (const TextEntry& entry : kTexts) {
      all.push_back(entry.Id);
    }
    return all;
  }();
  return ids;
}

}  // namespace korvane
