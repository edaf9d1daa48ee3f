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
    {TextId::kOverlongCodes, "以下发送码超过126个字符，无法写入设备，请先缩短：",
     "These codes are over 126 characters and cannot be written to the device; shorten them "
     "first:"},
    {TextId::kOverlongCodeLine, "IO{1} {2} 代码{3}（{4}个字符）",
     "IO{1} {2} code {3} ({4} characters)"},
    {TextId::kPressCodes, "接触发送码", "press codes"},
    {TextId::kReleaseCodes, "松开发送码", "release codes"},
    {TextId::kMisplacedAnswer,
     "第{1}块：收到的回答不只属于这一块（{2}），数据块可能存错了位置，因此没有再发送；请重新配置",
     "block {1}: an answer that cannot be this block's alone ({2}): a block may be stored in the "
     "wrong place, so nothing more was sent; program again"},
    {TextId::kDeviceBusy, "该串口上另一个操作正在进行",
     "another operation is running on this port"},
    {TextId::kOperationStopped, "操作已按要求停止", "the operation was stopped on request"},
    {TextId::kReadCancelled, "读取已取消", "the read-back was cancelled"},
    {TextId::kImageFileFault, "配置文件操作失败! {1}", "nothing more was sent: {1}"},
    {TextId::kImageNotWritten, "映像文件 {1} 无法写入", "the image file {1} could not be written"},
    {TextId::kImageDirHint, "；可用 --image-dir 把映像文件放到别处",
     "; keep the image files elsewhere with --image-dir"},

    // The editor's own messages.
    {TextId::kPortUnavailable, "串口不存在！或已被占用！",
     "The serial port does not exist or is in use!"},
    {TextId::kOpenFileQuestion, "您确定要打开配置文件吗？当前的配置文件如果没有保存将丢失！",
     "Open a code set file? Unsaved codes will be lost!"},
    {TextId::kOpenFileCaption, "打开确认", "Confirm open"},
    {TextId::kSaveFileQuestion, "您确定要保存配置文件吗？当前的配置文件如果没有保存将丢失！",
     "Save the code set to a file? Unsaved codes will be lost!"},
    {TextId::kSaveFileCaption, "保存确认", "Confirm save"},
    {TextId::kLoadFailed, "无法读取配置文件：{1}", "Cannot read the code set file: {1}"},
    {TextId::kSaveFailed, "配置文件保存失败：{1}", "Saving the code set file failed: {1}"},
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
