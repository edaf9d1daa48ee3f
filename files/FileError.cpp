#include "files/FileError.h"

namespace korvane {
namespace {

std::string EnglishReason(FileReason reason, const std::string& systemText) {
  if (!systemText.empty()) {
    return systemText;
  }
  switch (reason) {
    case FileReason::kDenied:
      return "Permission denied";
    case FileReason::kNoSpace:
      return "No space left on device";
    case FileReason::kMissing:
      return "No such file or directory";
    case FileReason::kReadOnly:
      return "Read-only file system";
    case FileReason::kInUse:
      return "In use by another program";
    case FileReason::kTooLarge:
      return "File too large";
    case FileReason::kNone:
    case FileReason::kOther:
      break;
  }
  return "unknown error";
}

// The system's own words stand in for a reason that has no Chinese text.
std::string ChineseReason(FileReason reason, const std::string& systemText) {
  switch (reason) {
    case FileReason::kDenied:
      return "没有权限";
    case FileReason::kNoSpace:
      return "磁盘空间不足";
    case FileReason::kMissing:
      return "文件或文件夹不存在";
    case FileReason::kReadOnly:
      return "只读的文件系统";
    case FileReason::kInUse:
      return "文件正被其他程序使用";
    case FileReason::kTooLarge:
      return "文件太大";
    case FileReason::kNone:
    case FileReason::kOther:
      break;
  }
  return systemText.empty() ? std::string("未知错误") : systemText;
}

}  // namespace

std::string EnglishText(const FileError& error) {
  std::string reason = EnglishReason(error.Reason, error.SystemText);
  switch (error.Step) {
    case FileStep::kNone:
      return {};
    case FileStep::kNoName:
      return "cannot write a file without a name";
    case FileStep::kReach:
      return "cannot reach " + error.Path + ": " + reason;
    case FileStep::kNotRegular:
      return "cannot use " + error.Path + ": not a regular file";
    case FileStep::kRead:
      return "cannot read " + error.Path + ": " + reason;
    case FileStep::kWrite:
      return "cannot write " + error.Path + ": " + reason;
    case FileStep::kCreateBeside:
      return "cannot create a file beside " + error.Path + ": " + reason;
    case FileStep::kWriteInPlace:
      return "cannot write " + error.Path + ": its folder takes no temporary file (" +
             EnglishReason(error.FolderReason, error.FolderSystemText) +
             ") and writing the file in place failed too: " + reason;
    case FileStep::kLineBreak:
      return "code " + error.Code + " holds a line break and cannot be saved";
  }
  return reason;
}

TStatus FileOutcome(bool done, const FileError& error, FileError* details) {
  if (details != nullptr) {
    *details = error;
  }
  if (done) {
    return {};
  }
  if (!error.Failed()) {  // a failure that lost its reason still fails
    return TError{std::make_error_code(std::errc::io_error), "the file operation failed"};
  }
  return TError{error.SystemCode, EnglishText(error)};
}

std::string ChineseText(const FileError& error) {
  std::string reason = ChineseReason(error.Reason, error.SystemText);
  switch (error.Step) {
    case FileStep::kNone:
      return {};
    case FileStep::kNoName:
      return "没有文件名";
    case FileStep::kReach:
      return "无法访问 " + error.Path + "：" + reason;
    case FileStep::kNotRegular:
      return error.Path + " 不是普通文件";
    case FileStep::kRead:
      return "无法读取 " + error.Path + "：" + reason;
    case FileStep::kWrite:
      return "无法写入 " + error.Path + "：" + reason;
    case FileStep::kCreateBeside:
      return "无法在 " + error.Path + " 所在的文件夹中创建文件：" + reason;
    case FileStep::kWriteInPlace:
      return "无法写入 " + error.Path + "：所在的文件夹中不能创建临时文件（" +
             ChineseReason(error.FolderReason, error.FolderSystemText) +
             "），直接写入该文件也失败：" + reason;
    case FileStep::kLineBreak:
      return "发送码 " + error.Code + " 含有换行符，无法保存";
  }
  return reason;
}

}  // namespace korvane
