#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IncludeGraph.h"

namespace korvane::layering {
namespace {

struct TEdgeCase {
  const char* From;
  const char* Included;
  bool Allowed;
};

TEST(IncludeGraphTest, EdgesFollowTheLayers) {
  const std::vector<TEdgeCase> cases{
      {"ui/MainForm.cpp", "device/Programmer.h", true},
      {"ui/MainForm.cpp", "files/CodeSetFile.h", true},
      {"ui/MainForm.cpp", "serial/Comm.h", true},
      {"ui/Led.cpp", "ui/LedCanvas.h", true},
      {"tools/cli/main.cpp", "device/Programmer.h", true},
      {"tools/sim/main.cpp", "cli/Json.h", true},
      {"tools/cli/main.cpp", "platform/UniqueFd.h", true},
      {"serial/posix/PosixPort.cpp", "platform/UniqueFd.h", true},
      {"device/Image.cpp", "model/CodeTable.h", true},
      {"device/Image.cpp", "serial/Comm.h", true},
      {"files/IniFile.cpp", "model/CodeTable.h", true},
      {"serial/Comm.cpp", "serial/posix/PosixBackend.h", true},
      {"serial/posix/PosixPort.cpp", "PosixPort.h", true},
      {"ui/MainForm.cpp", "KorvaneVersion.h", true},
      {"tools/cli/main.cpp", "ui/MainForm.h", false},
      {"ui/MainForm.cpp", "platform/UniqueFd.h", false},
      {"platform/UniqueFd.h", "serial/Comm.h", false},
      {"model/CodeTable.cpp", "cli/Json.h", false},
      {"device/Image.cpp", "files/IniFile.h", false},
      {"device/Image.cpp", "ui/Led.h", false},
      {"files/IniFile.cpp", "serial/Comm.h", false},
      {"serial/Comm.cpp", "model/CodeTable.h", false},
      {"serial/Comm.cpp", "device/Image.h", false},
      {"model/CodeTable.cpp", "serial/Comm.h", false},
      {"tools/cli/PortSession.cpp", "serial/win32/Win32Backend.h", false},
      {"serial/win32/PortIdentity.cpp", "WinHandles.h", true},
      {"tools/cli/Commands.cpp", "platform/Interrupt.h", true},
      {"ui/posix/GbkText.cpp", "serial/posix/PosixPort.h", false},
      {"device/Image.cpp", "serial/linux/Counters.h", false},
  };
  for (const TEdgeCase& edge : cases) {
    EXPECT_EQ(IsAllowedInclude(edge.From, edge.Included), edge.Allowed)
        << edge.From << " -> " << edge.Included;
  }
}

TEST(IncludeGraphTest, SourcesHaveNoForbiddenInclude) {
  const std::vector<TIncludeEdge> forbidden = ForbiddenIncludes(KORVANE_SOURCE_DIR);
  for (const TIncludeEdge& edge : forbidden) {
    ADD_FAILURE() << edge.From << " includes \"" << edge.Included << "\"";
  }
  EXPECT_TRUE(forbidden.empty());
}

}  // namespace
}  // namespace korvane::layering
