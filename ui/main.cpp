#include <iostream>
#include <string>
#include <vector>

#include "ui/CommandLine.h"
#include "ui/ErrorReport.h"
#include "ui/RunEditor.h"

using namespace korvane;

int main(int argc, char** argv) {
  // Answered before Qt starts, so that they work without a display.
  if (const auto info = EditorInfoText(std::vector<std::string>(argv + 1, argv + argc))) {
    std::cout << *info;
    return 0;
  }
  TApplication application(argc, argv);
  return RunEditor();
}
