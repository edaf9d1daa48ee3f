#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace korvane::test {

// Runs `check` where permission bits apply: in a child process as user nobody
// when the tests run as root (root ignores them), else right here. `folder`
// and what it holds are handed to that user first. `check` returns what went
// wrong, or an empty text when all held.
std::string RunWithoutPrivilege(const std::filesystem::path& folder,
                                const std::function<std::string()>& check);

}  // namespace korvane::test
