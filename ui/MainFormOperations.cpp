// The window's device and file commands: "写入", "读取", "打开", "保存".

#include <QFile>
#include <QFileInfo>

#include <stdexcept>

#include "device/DeviceOperations.h"
#include "files/CodeSetFile.h"
#include "ui/DeviceTexts.h"
#include "ui/Language.h"
#include "ui/MainForm.h"

namespace korvane {
namespace {

std::string LocalPath(const QString& name) {
  return QFile::encodeName(name).toStdString();
}

// The words of a file failure in the editor's language. Its path (every file
// text's first detail) is in the file system's encoding, the text in UTF-8:
// the path is converted first.
std::string FileErrorText(TError error) {
  if (!error.Args.empty()) {
    error.Args[0] = QFile::decodeName(QByteArray::fromStdString(error.Args[0])).toStdString();
  }
  return error.Words(EditorLanguage());
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
    ShowLoadFailure(MissingCodeSetError(LocalPath(name)));
    return;
  }
  LoadCodeSetFrom(LocalPath(name));
}

// A missing file empties the table, as an empty code set; a file that exists
// but cannot be read leaves the table alone and says so.
void TFormMain::LoadCodeSetFrom(const std::string& path) {
  if (const TStatus loaded = LoadCodeSet(codes_, path); !loaded) {
    ShowLoadFailure(loaded.Error());
  }
}

void TFormMain::ShowLoadFailure(const TError& error) {
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
  if (const TStatus saved = SaveCodeSet(codes_, path); !saved) {
    boxes_.Show(UiText(TextId::kSaveFailed, {FileErrorText(saved.Error())}),
                UiText(TextId::kCaptionWarning));
  }
}

}  // namespace korvane
