#include "ui/RunEditor.h"

#include <QApplication>

#include <memory>

#include "serial/PortList.h"
#include "ui/CodeForm.h"
#include "ui/CommPort.h"
#include "ui/Language.h"
#include "ui/MainForm.h"
#include "ui/QtUiLoop.h"

namespace korvane {

int RunEditor(const std::function<void(TFormMain&)>& beforeShow) {
  InstallTranslations(
      ChooseLanguage(QApplication::arguments(), qEnvironmentVariable("KORVANE_LANG")));
  TQtUiLoop loop;
  TFormMainServices services;
  services.Comm = std::make_unique<TCommPort>(loop);
  services.Loop = &loop;
  services.ListPorts = ListSerialPorts;
  TFormMain window(std::move(services));
  TFormCode codeForm;
  FormCode = &codeForm;
  if (beforeShow) {
    beforeShow(window);
  }
  window.show();
  const int result = QApplication::exec();
  FormCode = nullptr;
  return result;
}

}  // namespace korvane
