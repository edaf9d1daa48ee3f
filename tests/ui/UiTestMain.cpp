#include <gtest/gtest.h>

#include <cstdlib>

#include "ui/ErrorReport.h"

int main(int argc, char** argv) {
  // Widgets need no display: the offscreen platform unless one is chosen.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testing::InitGoogleTest(&argc, argv);
  korvane::TApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
