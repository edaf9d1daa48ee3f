#include <memory>

#include "serial/VirtualPorts.h"
#include "ui/CodeForm.h"
#include "ui/ErrorReport.h"
#include "ui/MainForm.h"
#include "ui/NoSerialPort.h"

using namespace korvane;

namespace {

std::vector<PortListEntry> ListPorts() {
  std::vector<PortListEntry> ports;
  for (const VirtualPort& port : ListVirtualPorts()) {
    ports.push_back({port.Name, port.Path});
  }
  return ports;
}

}  // namespace

int main(int argc, char** argv) {
  TApplication application(argc, argv);
  TFormMainServices services;
  services.Comm = std::make_unique<TNoSerialPort>();
  services.ListPorts = ListPorts;
  TFormMain window(std::move(services));
  TFormCode codeForm;
  FormCode = &codeForm;
  window.show();
  const int result = application.exec();
  FormCode = nullptr;
  return result;
}
