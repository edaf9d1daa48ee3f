#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "serial/PortList.h"
#include "ui/CodeForm.h"
#include "ui/CommPort.h"
#include "ui/CommandLine.h"
#include "ui/ErrorReport.h"
#include "ui/Language.h"
#include "ui/MainForm.h"
#include "ui/QtUiLoop.h"

using namespace korvane;

int main(int argc, char** argv) {
  // Answered before Qt starts, so that they work without a display.
  if (const auto info = EditorInfoText(std::vector<std::string>(argv + 1, argv + argc))) {
    std::cout << *info;
    return 0;
  }
  TApplication application(argc, argv);
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
  window.show();
  const int result = application.exec();
  FormCode = nullptr;
  return result;
}
