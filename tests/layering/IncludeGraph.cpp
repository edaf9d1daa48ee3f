#include "IncludeGraph.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <map>
#include <regex>
#include <set>

namespace korvane::layering {
namespace {

const std::map<std::string, std::set<std::string>>& AllowedDependencies() {
  static const std::map<std::string, std::set<std::string>> allowed{
      {"platform", {}},
      {"model", {}},
      {"serial", {"platform"}},
      {"files", {"model", "platform"}},
      {"device", {"model", "serial", "platform"}},
      {"tools", {"model", "serial", "device", "files", "platform"}},
      {"ui", {"model", "serial", "device", "files"}},
  };
  return allowed;
}

std::string TopFolder(const std::string& path) {
  const auto slash = path.find('/');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

// The library an include names: its first folder, where the tools' one include
// root (tools/) names the tool instead.
std::string IncludedLibrary(const std::string& included) {
  const std::string top = TopFolder(included);
  return top == "cli" || top == "sim" ? "tools" : top;
}

bool IsPlatformPrivate(const std::string& path) {
  static const std::array<std::string, 3> folders{"/posix/", "/win32/", "/linux/"};
  return std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
    return path.find(folder) != std::string::npos;
  });
}

bool IsSource(const std::filesystem::path& path) {
  const std::string extension = path.extension().string();
  return extension == ".h" || extension == ".cpp" || extension == ".c";
}

}  // namespace

bool IsAllowedInclude(const std::string& fromFile, const std::string& included) {
  const std::string from = TopFolder(fromFile);
  const std::string to = IncludedLibrary(included);
  const auto& allowed = AllowedDependencies();
  if (allowed.count(to) == 0 || to == from) {
    return true;  // a header beside the file, a generated one, or its own library's
  }
  return !IsPlatformPrivate(included) && allowed.count(from) != 0 &&
         allowed.at(from).count(to) != 0;
}

std::vector<TIncludeEdge> ForbiddenIncludes(const std::filesystem::path& root) {
  static const std::regex include(R"(^\s*#\s*include\s*"([^"]+)\")");
  std::vector<TIncludeEdge> forbidden;
  for (const auto& [library, unused] : AllowedDependencies()) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root / library)) {
      if (!entry.is_regular_file() || !IsSource(entry.path())) {
        continue;
      }
      const std::string from = entry.path().lexically_relative(root).generic_string();
      std::ifstream source(entry.path());
      std::smatch match;
      for (std::string line; std::getline(source, line);) {
        if (std::regex_search(line, match, include) && !IsAllowedInclude(from, match[1])) {
          forbidden.push_back({from, match[1]});
        }
      }
    }
  }
  return forbidden;
}

}  // namespace korvane::layering
