#include <gtest/gtest.h>

#include <QtGlobal>

#include "ui/ErrorReport.h"

int main(int argc, char** argv) {
  // Widgets need no display: the offscreen platform unless one is chosen.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  testing::InitGoogleTest(&argc, argv);
  korvane::TApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
