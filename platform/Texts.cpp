#include "platform/Texts.h"

#include <algorithm>
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
    // The command-line tool's results and diagnostics.
    {TextId::kCliUnexpectedError, "意外错误：{1}", "unexpected error: {1}"},
    {TextId::kCliUnexpectedUnknown, "意外错误", "unexpected error"},
    {TextId::kCliNoSuchFile, "文件不存在", "no such file"},
    {TextId::kCliNotRegularFile, "不是普通文件", "not a regular file"},
    {TextId::kCliCodeSetUnreadable, "无法读取配置文件 {1}：{2}",
     "cannot read the code set file {1}: {2}"},
    {TextId::kCliNoCodeKeys,
     "{1} 中没有 32 个发送码键中的任何一个（节 Button1 到 Button4，键 ButtonDownSend1-4 和 "
     "ButtonUpSend1-4）；{2}。要使用没有发送码的文件，请加 --allow-empty",
     "{1} holds none of the 32 code keys (sections Button1 to Button4, keys ButtonDownSend1-4 and "
     "ButtonUpSend1-4); {2}. Give --allow-empty to use a file with no codes"},
    {TextId::kCliNothingSent, "没有发送任何数据", "nothing was sent"},
    {TextId::kCliNoImageWritten, "没有写入镜像文件", "no image was written"},
    {TextId::kCliWarning, "警告：{1}", "warning: {1}"},
    {TextId::kCliOddHexDigits, "16进制数字的个数为奇数（{1}）",
     "an odd number of hex digits ({1})"},
    {TextId::kCliNotHexCharacters, "含有不是16进制数字的字符",
     "characters that are not hex digits"},
    {TextId::kCliCodesNotHex,
     "{2} 中有 {1} "
     "个发送码不是成对的16进制数字；{3}"
     "。要像编辑器那样转换（跳过非16进制字符，单个数字作为一个字节），请加 --lenient",
     "{1} code(s) of {2} are not pairs of hex digits; {3}. Give --lenient to convert them as the "
     "editor does (non-hex characters skipped, a lone digit made a byte)"},
    {TextId::kCliBadCodesRefused, "发送码不是成对的16进制数字（见上文）；{1}",
     "codes that are not pairs of hex digits (named above); {1}"},
    {TextId::kCliInterruptedDuring, "在{2}时被 {1} 中断", "interrupted by {1} during {2}"},
    {TextId::kCliLineLost, "在{1}时通讯线路断开（设备被拔出？）；没有再发送数据",
     "the line was lost (device unplugged?) during {1}; nothing more was sent"},
    {TextId::kCliInterruptedVerifying, "校验时被中断", "interrupted while verifying"},
    {TextId::kCliVerifyReadFailed, "校验：{1}", "verify: {1}"},
    {TextId::kCliVerifyDifferences, "校验失败：设备与 {2} 有 {1} 处不同",
     "verify failed: {1} difference(s) between the device and {2}"},
    {TextId::kCliBaudRate, "波特率", "baud rate"},
    {TextId::kCliProgrammedVerified, "{1} 已校验", "{1} (verified)"},
    {TextId::kCliBlocksAcknowledged, "五个数据块都已确认；{1}",
     "all five blocks were acknowledged; {1}"},
    {TextId::kCliLogUnopenable, "无法打开结果日志 {1}：{2}",
     "cannot open the results log {1}: {2}"},
    {TextId::kCliLogAppendFailed, "无法写入结果日志 {1}：{2}",
     "cannot append to the results log {1}: {2}"},
    {TextId::kCliHelpHint, "用法见 'korvane-cli {1} --help'",
     "run 'korvane-cli {1} --help' for usage"},
    {TextId::kCliReplyOverlongAreas,
     "回复中有长度字节超过63的发送码区：{1}"
     "。旧工具写入超过126个字符的发送码后设备会这样回复，损坏的回复也会这样；没有保留任何数据。要按"
     "读到的原样保留回复，请加 --accept-overlong（这样的发送码会占用其后区域的字节）",
     "the reply has code areas with a length byte over 63: {1}. A device given codes over 126 "
     "characters by older tools looks like this, and so does a broken reply; nothing was kept. "
     "Give --accept-overlong to keep the reply as read (each such code then takes bytes from the "
     "areas after it)"},
    {TextId::kCliAreaLength, "IO{1} {2}（长度 {3}）", "IO{1} {2} (length {3})"},
    {TextId::kCliOutputLost, "输出没有被接受", "the output was not accepted"},
    {TextId::kCliStdoutFailed, "无法写入标准输出：{1}", "cannot write to standard output: {1}"},
    {TextId::kCliStdoutPortList, "无法把串口列表写入标准输出：{1}",
     "cannot write the port list to standard output: {1}"},
    {TextId::kCliStdoutCodes, "无法把发送码写入标准输出：{1}",
     "cannot write the codes to standard output: {1}"},
    {TextId::kCliStdoutResults, "无法把结果写入标准输出：{1}",
     "cannot write the results to standard output: {1}"},
    {TextId::kCliReadBaud, "{1} 波特率 {2}", "{1} (baud rate {2})"},
    {TextId::kCliReadNoBaud, "{1} 没有波特率", "{1} (no baud rate)"},
    {TextId::kCliReadNotSaved, "{1} 但发送码没有保存：{2}", "{1} The codes were not saved: {2}"},
    {TextId::kCliVerified, "校验一致，设备中是 {1} 的发送码", "verified, the device holds {1}"},
    {TextId::kCliOutputIsCodeSet, "输出文件 {1} 就是配置文件本身；请指定另一个文件",
     "the output {1} is the code set file itself; name another file"},
    {TextId::kCliImageNotWritten, "镜像文件没有写入：{1}", "the image was not written: {1}"},
    {TextId::kCliImageWritten, "已写入 {1}（{2} 字节）", "wrote {1} ({2} bytes)"},
    {TextId::kCliVerifyDifference, "校验：{1} 写入 {2}，设备中是 {3}",
     "verify: {1} written {2}, device holds {3}"},
    {TextId::kCliPartlyWritten, "设备可能只写入了一部分；使用前请重新配置",
     "the device may be partly written; program it again before use"},
    {TextId::kCliResultFailed, "失败（退出码 {1}）", "failed (exit {1})"},
    {TextId::kCliResultInterrupted, "被中断（退出码 {1}）", "interrupted (exit {1})"},
    {TextId::kCliPhaseOpening, "打开串口", "opening"},
    {TextId::kCliPhaseConnecting, "连接设备", "connecting"},
    {TextId::kCliPhaseBuilding, "生成镜像", "building"},
    {TextId::kCliPhaseBlock, "数据块 {1}/{2}", "block {1}/{2}"},
    {TextId::kCliPhaseVerifying, "校验", "verifying"},
    {TextId::kCliPhaseReading, "读取数据", "reading"},
    {TextId::kCliPhaseDone, "完成", "done"},
    {TextId::kCliPortOpenFailed, "无法打开串口：{1}", "cannot open the port: {1}"},
    {TextId::kCliTraceSent, "发送 {1} 字节 {2}", "sent {1} bytes {2}"},
    {TextId::kCliTraceReceived, "等待结束；收到 {1} 字节 {2}", "waited; received {1} bytes {2}"},
    {TextId::kCliTraceLineLost, "通讯线路断开；结束操作",
     "the line was lost; ending the operation"},
    {TextId::kCliTraceReplyComplete, "回复完整：{1} 字节，之后 {2} 毫秒无数据",
     "reply complete: {1} bytes, then {2} ms quiet"},
    {TextId::kCliPortMatchesNone, "--port {1} 没有匹配到串口；现有串口：{2}",
     "--port {1} matches no port; the ports are: {2}"},
    {TextId::kCliPortMatchesMany, "--port {1} 匹配到 {2} 个串口：{3}；请只指定一个",
     "--port {1} matches {2} ports: {3}; name one"},
    {TextId::kCliPortsSameDevice, "--port {1} 和 --port {2} 指的是同一个设备",
     "--port {1} and --port {2} name the same device"},
    {TextId::kCliNoPortListed, "--port {1} 没有匹配到串口，而且没有任何串口",
     "--port {1} matches no port, and there are no ports"},
    {TextId::kCliNoTempFolder, "没有可放镜像文件的临时文件夹：{1}；请用 --image-dir 指定文件夹",
     "no temporary folder for the image files: {1}; name a folder with --image-dir"},
    {TextId::kCliTempFolderFailed,
     "无法在 {1} 中创建放镜像文件的临时文件夹：{2}；请用 --image-dir 指定文件夹",
     "cannot make a temporary folder for the image files in {1}: {2}; name a folder with "
     "--image-dir"},
    {TextId::kCliImageDirMissing,
     "--image-dir {1}：文件夹不存在；请创建它，或用 --image-dir 指定另一个",
     "--image-dir {1}: no such folder; create it or name another with --image-dir"},
    {TextId::kCliImageDirNotFolder,
     "--image-dir {1}：不是文件夹；请创建它，或用 --image-dir 指定另一个",
     "--image-dir {1}: not a folder; create it or name another with --image-dir"},
    {TextId::kCliImageDirUnwritable,
     "--image-dir {1}：无法在那里写入镜像文件（{2}）；请用 --image-dir 指定另一个文件夹",
     "--image-dir {1}: cannot write the image file there ({2}); name another folder with "
     "--image-dir"},
    {TextId::kCliProfileUnreadable, "无法读取预设文件 {1}：{2}",
     "cannot read the profile {1}: {2}"},
    {TextId::kCliSlot, "工位 {1}", "slot {1}"},
    {TextId::kCliSlotUnexpected, "工位 {1}：意外错误：{2}", "slot {1}: unexpected error: {2}"},
    {TextId::kCliWaitingNextUnit, "等待下一台设备", "waiting for the next unit"},
    {TextId::kCliWaitingDevice, "等待设备接入", "waiting for a device"},
    {TextId::kCliRefused, "拒绝：{1}", "refused: {1}"},
    {TextId::kCliNoMatch, "{1} 不符合 --match {2}", "{1} does not match --match {2}"},
    {TextId::kCliFilterOr, "{1} 或 {2}", "{1} or {2}"},
    {TextId::kCliUnitFailed, "失败：{1}", "FAILED: {1}"},
    {TextId::kCliUnitPartly, "{1}；设备可能只写入了一部分，使用前请重新配置",
     "{1}; the device may be partly written, program it again before use"},
    {TextId::kCliUnitOk, "第 {1} 台成功，用时 {2} 秒", "unit {1} ok in {2} s"},
    {TextId::kCliUnitFailedIn, "第 {1} 台失败，用时 {2} 秒", "unit {1} failed in {2} s"},
    {TextId::kCliUnitInterruptedIn, "第 {1} 台被中断，用时 {2} 秒",
     "unit {1} interrupted in {2} s"},
    {TextId::kCliSlotUnitResult, "工位 {1} {2} 第 {3} 台：{4}", "slot {1} {2} unit {3}: {4}"},
    {TextId::kCliOk, "成功", "ok"},
    {TextId::kCliConfirmNext, "{1}；请确认下一台", "{1}; confirm the next unit"},
    {TextId::kCliRemoveUnit, "{1}；请取下这台设备", "{1}; remove the unit"},
    {TextId::kCliSlotRow, "{1}  [成功 {2} 失败 {3}]  ", "{1}  [ok {2} failed {3}]  "},
    {TextId::kCliSlotLast, "上一台：{1}  ", "last: {1}  "},
    {TextId::kCliSlotSummary, "工位 {1} {2}：成功 {3}，失败 {4}，中断 {5}",
     "slot {1} {2}: ok {3}, failed {4}, interrupted {5}"},
    {TextId::kCliStationSummary, "工作站：成功 {1}，失败 {2}，中断 {3}，用时 {4} 秒，每小时 {5} 台",
     "station: ok {1}, failed {2}, interrupted {3} in {4} s, {5} units per hour"},
    {TextId::kCliReplyNothing, "串口没有任何回复（设备是否已连接、已上电并接在这个串口上？）",
     "the port answered nothing (is a device connected, powered and on this port?)"},
    {TextId::kCliReplyEcho, "串口把请求原样发了回来（{1}）：可能是回环，或会回显的转接器或设备",
     "the port echoed the request back ({1}): a loopback, or an adapter or device that echoes"},
    {TextId::kCliReplyExtraBytes, "设备的回答带有多余的字节（{1}），只接受单独的回答",
     "the device answered with extra bytes ({1}), and only the answer alone is accepted"},
    {TextId::kCliReplyOther, "串口回复的字节不是正确的回答（{1}）：是别的设备，还是波特率不对？",
     "the port answered with bytes that are not the answer ({1}): another device, or a wrong line "
     "speed?"},

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
    {TextId::kPortAlreadyOpened, "该串口已经打开", "This serial port already opened"},
    {TextId::kPortErrorOpening, "打开串口出错", "Error opening serial port"},
    {TextId::kPortNotCommHandle, "文件句柄不是串口句柄", "File handle is not a comm handle "},
    {TextId::kPortNoCommBuffer, "无法设置串口缓冲区", "Cannot setup comm buffer"},
    {TextId::kPortNoStopEvent, "无法创建事件", "Unable to create event"},
    {TextId::kPortNoReadThread, "无法创建读线程", "Unable to create read thread"},
    {TextId::kPortNoWriteThread, "无法创建写线程", "Unable to create write thread"},
    {TextId::kPortLineSettingsRefused, "串口拒绝了线路设置",
     "Line settings refused by the serial port"},
    // Code set files and other files the tools read and write.
    {TextId::kFileNoName, "没有文件名", "cannot write a file without a name"},
    {TextId::kFileReach, "无法访问 {1}：{2}", "cannot reach {1}: {2}"},
    {TextId::kFileNotRegular, "{1} 不是普通文件", "cannot use {1}: not a regular file"},
    {TextId::kFileRead, "无法读取 {1}：{2}", "cannot read {1}: {2}"},
    {TextId::kFileWrite, "无法写入 {1}：{2}", "cannot write {1}: {2}"},
    {TextId::kFileCreateBeside, "无法在 {1} 所在的文件夹中创建文件：{2}",
     "cannot create a file beside {1}: {2}"},
    {TextId::kFileWriteInPlace,
     "无法写入 {1}：所在的文件夹中不能创建临时文件（{2}），直接写入该文件也失败：{3}",
     "cannot write {1}: its folder takes no temporary file ({2}) and writing the file in place "
     "failed too: {3}"},
    {TextId::kFileLineBreak, "发送码 {2} 含有换行符，无法保存",
     "code {2} holds a line break and cannot be saved"},
    {TextId::kFileCannotHold,
     "无法将 [{2}] {3} 写入 {1}：名称或值含有换行符，或名称不合 INI 文件的格式",
     "cannot write [{2}] {3} to {1}: a line break in the name or value, or a name the INI format "
     "cannot hold"},
    {TextId::kFileNoCodePage, "本系统无法在代码页 {1} 与 UTF-8 之间转换文字",
     "no conversion between code page {1} and UTF-8 on this system"},
    {TextId::kFileReasonDenied, "没有权限", "Permission denied"},
    {TextId::kFileReasonNoSpace, "磁盘空间不足", "No space left on device"},
    {TextId::kFileReasonMissing, "文件或文件夹不存在", "No such file or directory"},
    {TextId::kFileReasonReadOnly, "只读的文件系统", "Read-only file system"},
    {TextId::kFileReasonInUse, "文件正被其他程序使用", "In use by another program"},
    {TextId::kFileReasonTooLarge, "文件太大", "File too large"},
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
    {TextId::kImageNotWritten, "镜像文件 {1} 无法写入", "the image file {1} could not be written"},
    {TextId::kImageDirHint, "；可用 --image-dir 把镜像文件放到别处",
     "; keep the image files elsewhere with --image-dir"},
    {TextId::kImageCannotOpen, "无法打开镜像文件 {1}：{2}", "cannot open {1}: {2}"},
    {TextId::kImageCannotRead, "无法读取镜像文件 {1}：{2}", "cannot read {1}: {2}"},
    {TextId::kImageCannotWrite, "无法写入镜像文件 {1}：{2}", "cannot write {1}: {2}"},
    {TextId::kImageNotRegular, "不是普通文件", "not a regular file"},
    {TextId::kImageHardLinks, "该文件还有别的名字（硬链接）",
     "the file has other names (hard links)"},
    {TextId::kImageSymlink, "它是符号链接，不会跟随",
     "it is a symbolic link, which is never followed"},
    {TextId::kImageReparsePoint, "它是链接（重解析点），不会跟随",
     "it is a link (reparse point), which is never followed"},

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

// TextArg's mark: a control character no path or code holds, then the number.
constexpr char kTextMark = '\x1d';

// A TextArg's argument separator: a control character no path or code holds.
constexpr char kArgMark = '\x1f';

// An argument in `language`: a TextArg becomes its words.
std::string Resolved(const std::string& arg, Language language) {
  if (arg.size() < 2 || arg[0] != kTextMark) {
    return arg;
  }
  const std::size_t idEnd = std::min(arg.find(kArgMark), arg.size());
  const std::string id = arg.substr(1, idEnd - 1);
  if (id.empty() || id.size() > 6 || id.find_first_not_of("0123456789") != std::string::npos) {
    return arg;
  }
  std::vector<std::string> args;
  for (std::size_t start = idEnd; start < arg.size();) {
    const std::size_t end = std::min(arg.find(kArgMark, start + 1), arg.size());
    args.push_back(arg.substr(start + 1, end - start - 1));
    start = end;
  }
  const std::string words = Text(static_cast<TextId>(std::stoi(id)), language, args);
  return words.empty() ? arg : words;
}

std::string Fill(const char* pattern, const std::vector<std::string>& args, Language language) {
  std::string text;
  for (const char* p = pattern; *p != '\0'; ++p) {
    const bool placeholder = p[0] == '{' && p[1] >= '1' && p[1] <= '9' && p[2] == '}';
    const auto index = placeholder ? static_cast<std::size_t>(p[1] - '1') : 0;
    if (placeholder && index < args.size()) {
      text += Resolved(args[index], language);
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
  return Fill(language == Language::Chinese ? entry->Chinese : entry->English, args, language);
}

std::string TextArg(TextId id, const std::vector<std::string>& args) {
  std::string arg = kTextMark + std::to_string(static_cast<int>(id));
  for (const std::string& detail : args) {
    arg += kArgMark + detail;
  }
  return arg;
}

std::string ArgWords(const std::string& arg, Language language) {
  return Resolved(arg, language);
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
