#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
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

// korvane-cli reaches the system through platform/ and serial/: no C or system
// header, and a test for Windows only in port selection (how ports are named
// there, which is the tool's own logic).
TEST(IncludeGraphTest, TheCommandLineToolHoldsNoSystemCode) {
  const std::regex system(
      R"(^\s*#\s*(include\s*<(?!KorvaneVersion)[^>]+\.h>|(if|elif).*\b_WIN32\b))");
  const std::filesystem::path cli = std::filesystem::path(KORVANE_SOURCE_DIR) / "tools/cli";
  for (const auto& entry : std::filesystem::recursive_directory_iterator(cli)) {
    std::ifstream source(entry.path());
    const std::string file = entry.path().filename().string();
    for (std::string line; entry.path().extension() != ".txt" && std::getline(source, line);) {
      if (std::regex_search(line, system) &&
          !(file == "PortSelection.cpp" && line == "#ifdef _WIN32")) {
        ADD_FAILURE() << file << ": " << line;
      }
    }
  }
}

}  // namespace
}  // namespace korvane::layering
