#pragma once

#include <string>
#include <vector>

#include "model/CodeTable.h"

namespace korvane::test {

// A code set file as operators write and edit them by hand, and the 32 codes
// that the Windows profile services read from it. Our reader must read the
// same on every system; the Windows suite also asks the system's services.
struct ProfileCase {
  std::string name;
  std::string bytes;   // the whole file
  CodeTable expected;  // every code as read (in code page 936)
  // Set when Wine's reading of the file cannot stand for Windows': what Wine
  // does, and the source. Such a file is read by our reader everywhere but not
  // compared with Wine's reading.
  std::string wineDiffers;
};

std::vector<ProfileCase> ProfileCases();

}  // namespace korvane::test
