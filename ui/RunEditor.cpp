#include "ui/RunEditor.h"

#include <QApplication>

#include <memory>

#include "serial/PortList.h"
#include "ui/CodeForm.h"
#include "ui/CommPort.h"
#include "ui/CommandLine.h"
#include "ui/Language.h"
#include "ui/MainForm.h"
#include "ui/QtUiLoop.h"

namespace korvane {
namespace {

TFormMainServices SystemServices(TQtUiLoop& loop) {
  TFormMainServices services;
  services.Comm = std::make_unique<TCommPort>(loop);
  services.ListPorts = ListSerialPorts;
  return services;
}

}  // namespace

int RunEditor(const TEditorStart& start) {
  InstallTranslations(ChooseLanguage(start.Arguments, qEnvironmentVariable("KORVANE_LANG")));
  TQtUiLoop loop;
  TFormMainServices services = start.Services ? start.Services(loop) : SystemServices(loop);
  services.Loop = &loop;
  TFormMain window(std::move(services));
  TFormCode codeForm;
  FormCode = &codeForm;
  if (start.BeforeShow) {
    start.BeforeShow(window);
  }
  window.show();
  // Once the window stands as at any start, so that a failure is reported
  // over it.
  if (const QString file = CodeSetFileArgument(start.Arguments); !file.isEmpty()) {
    window.OpenCodeSetFile(file);
  }
  const int result = QApplication::exec();
  FormCode = nullptr;
  return result;
}

int RunEditor(const std::function<void(TFormMain&)>& beforeShow) {
  return RunEditor(TEditorStart{QApplication::arguments(), beforeShow, {}});
}

}  // namespace korvane
