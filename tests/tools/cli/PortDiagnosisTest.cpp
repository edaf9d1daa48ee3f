#include "cli/PortDiagnosis.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>

#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace korvane::cli {
namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(PortDiagnosis, NamesWhyAPortCannotBeOpened) {
  test::TempDir dir;
  EXPECT_TRUE(Contains(DiagnosePortProblem(dir.File("ttyUSB9")), "no such serial port"));
  std::ofstream(dir.File("plain")) << "x";
  EXPECT_TRUE(Contains(DiagnosePortProblem(dir.File("plain")), "not a serial device"));

  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string slave = ::ptsname(master);
  EXPECT_EQ(DiagnosePortProblem(slave), "");  // free: nothing to explain

  const int holder = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  EXPECT_TRUE(Contains(DiagnosePortProblem(slave), "in use by another program"));
  ::close(holder);
  ::close(master);
}

TEST(PortDiagnosis, PermissionHintFollowsTheModeBits) {
  struct Case {
    unsigned mode;
    std::string group;
    bool groupIsRoot;
    std::string expected;  // in the text
    std::string never;     // not in the text
  };
  const std::vector<Case> cases = {
      {0660, "dialout", false, "usermod -aG dialout", "Only"},
      {0660, "root", true, "Only user 'lp' and the administrators' group 'root'", "usermod"},
      {0600, "dialout", false, "Only user 'lp' can open it", "usermod"},
      {0640, "dialout", false, "Only user 'lp' can open it", "usermod"},  // group may only read
      {0620, "tty", false, "Only user 'lp'", "usermod"},
  };
  for (const Case& c : cases) {
    const std::string text =
        PermissionDeniedText("/dev/ttyUSB0", c.mode, "lp", c.group, c.groupIsRoot);
    EXPECT_TRUE(Contains(text, "permission denied")) << text;
    EXPECT_TRUE(Contains(text, c.expected)) << text;
    EXPECT_FALSE(Contains(text, c.never)) << text;
  }
}

TEST(PortDiagnosis, PermissionDeniedOnARootGroupDeviceNeverSuggestsJoiningRoot) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "making a device node needs root";
  }
  test::TempDir devices;
  ASSERT_EQ(::chmod(devices.Path().c_str(), 0755), 0);
  const std::string node = devices.File("ttyTEST0");
  ASSERT_EQ(::mknod(node.c_str(), S_IFCHR | 0660, ::makedev(1, 3)), 0);  // like /dev/null
  ASSERT_EQ(::chmod(node.c_str(), 0660), 0);                             // whatever the umask
  test::TempDir own;
  const std::string failure = test::RunWithoutPrivilege(own.Path(), [&]() -> std::string {
    const std::string reason = DiagnosePortProblem(node);
    if (!Contains(reason, "permission denied") || Contains(reason, "usermod -aG root") ||
        !Contains(reason, "mode 0660")) {
      return "unexpected reason: " + reason;
    }
    return "";
  });
  EXPECT_EQ(failure, "");
}

}  // namespace
}  // namespace korvane::cli
