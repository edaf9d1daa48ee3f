// The window's device and file commands: "写入", "读取", "打开", "保存".

#include <QFile>
#include <QFileInfo>

#include <stdexcept>

#include "device/DeviceOperations.h"
#include "files/CodeSetFile.h"
#include "ui/DeviceTexts.h"
#include "ui/MainForm.h"

namespace korvane {
namespace {

std::string LocalPath(const QString& name) {
  return QFile::encodeName(name).toStdString();
}

// The Chinese text of a file failure. Its path is in the file system's
// encoding, the text in UTF-8: the path is converted first.
std::string FileErrorText(FileError error) {
  error.Path = QFile::decodeName(QByteArray::fromStdString(error.Path)).toStdString();
  return ChineseText(error);
}

}  // namespace

void TFormMain::UseOwnOperationsWhereNoneGiven() {
  const auto fill = [this](std::function<void()>& operation, void (TFormMain::*own)()) {
    if (!operation) {
      operation = [this, own] { (this->*own)(); };
    }
  };
  fill(operations_.DeviceProgramming, &TFormMain::ProgramTheDevice);
  fill(operations_.DeviceReadBack, &TFormMain::ReadTheDeviceBack);
  fill(operations_.LoadCodeSet, &TFormMain::LoadCodeSetFromFile);
  fill(operations_.SaveCodeSet, &TFormMain::SaveCodeSetToFile);
}

DeviceContext& TFormMain::Device() {
  if (!device_) {
    throw std::logic_error("The window has no loop for device operations to wait in");
  }
  device_->ImagePath = ConfigFilePath;
  return *device_;
}

std::string TFormMain::AskForCodeSetFile(const QString& question, const QString& caption,
                                         TFileDialogKind kind) {
  if (!boxes_.Confirm(question, caption)) {
    return {};
  }
  const QString name = ChooseFile(kind);
  return name.isEmpty() ? std::string() : WithDefaultExtension(LocalPath(name));
}

// The operations show their results themselves.
void TFormMain::ProgramTheDevice() {
  Discard(ProgramDevice(Device(), codes_, BaudIndex()));
}

void TFormMain::ReadTheDeviceBack() {
  Discard(ReadBackDevice(Device(), codes_, [this](int index) { SetBaudIndex(index); }));
}

void TFormMain::LoadCodeSetFromFile() {
  const std::string path = AskForCodeSetFile(
      UiText(TextId::kOpenFileQuestion), UiText(TextId::kOpenFileCaption), TFileDialogKind::Open);
  if (!path.empty()) {
    LoadCodeSetFrom(path);
  }
}

void TFormMain::OpenCodeSetFile(const QString& name) {
  if (!QFileInfo::exists(name)) {
    FileError missing;
    missing.Step = FileStep::kRead;
    missing.Path = LocalPath(name);
    missing.Reason = FileReason::kMissing;
    ShowLoadFailure(missing);
    return;
  }
  LoadCodeSetFrom(LocalPath(name));
}

// A missing file empties the table, as an empty code set; a file that exists
// but cannot be read leaves the table alone and says so.
void TFormMain::LoadCodeSetFrom(const std::string& path) {
  FileError error;
  if (!LoadCodeSet(codes_, path, &error)) {
    ShowLoadFailure(error);
  }
}

void TFormMain::ShowLoadFailure(const FileError& error) {
  boxes_.Show(UiText(TextId::kLoadFailed, {FileErrorText(error)}), UiText(TextId::kCaptionWarning));
}

void TFormMain::SaveCodeSetToFile() {
  const std::string path = AskForCodeSetFile(
      UiText(TextId::kSaveFileQuestion), UiText(TextId::kSaveFileCaption), TFileDialogKind::Save);
  if (path.empty()) {
    return;
  }
  // The file is replaced whole or not at all; a failed save is not passed off
  // as done.
  FileError error;
  if (!SaveCodeSet(codes_, path, &error)) {
    boxes_.Show(UiText(TextId::kSaveFailed, {FileErrorText(error)}),
                UiText(TextId::kCaptionWarning));
  }
}

}  // namespace korvane
