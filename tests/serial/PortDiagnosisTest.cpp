#include "serial/PortDiagnosis.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>

#include "platform/UniqueHandle.h"
#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace korvane {
namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The catalogue text a diagnosis names, with the path as its first detail.
void ExpectCause(const TStatus& diagnosis, TextId id, const std::string& path) {
  ASSERT_FALSE(diagnosis.Ok()) << path;
  EXPECT_EQ(diagnosis.Error().Id, id) << diagnosis.Message();
  ASSERT_FALSE(diagnosis.Error().Args.empty());
  EXPECT_EQ(diagnosis.Error().Args.front(), path);
  EXPECT_TRUE(Contains(diagnosis.Error().Words(Language::Chinese), path));
}

TEST(PortDiagnosis, NamesWhyAPortCannotBeOpened) {
  test::TempDir dir;
  const TStatus missing = DiagnosePort(dir.File("ttyUSB9"));
  ExpectCause(missing, TextId::kPortNotFound, dir.File("ttyUSB9"));
  EXPECT_EQ(missing.Error().Code, std::errc::no_such_file_or_directory);
  EXPECT_TRUE(Contains(missing.Message(), "no such serial port (No such file or directory)"));
  std::ofstream(dir.File("plain")) << "x";
  ExpectCause(DiagnosePort(dir.File("plain")), TextId::kPortNotSerial, dir.File("plain"));

  const UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  ASSERT_TRUE(master);
  ASSERT_EQ(::grantpt(master.Get()), 0);
  ASSERT_EQ(::unlockpt(master.Get()), 0);
  const std::string slave = ::ptsname(master.Get());
  EXPECT_TRUE(DiagnosePort(slave).Ok());  // free: nothing to explain

  const UniqueFd holder(::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  ASSERT_TRUE(holder);
  ASSERT_EQ(::flock(holder.Get(), LOCK_EX | LOCK_NB), 0);
  ExpectCause(DiagnosePort(slave), TextId::kPortInUse, slave);
}

TEST(PortDiagnosis, PermissionHintFollowsTheModeBits) {
  struct Case {
    unsigned mode;
    std::string group;
    bool groupIsRoot;
    TextId id;
    std::string expected;  // in the English text
    std::string never;     // not in the English text
  };
  const std::vector<Case> cases = {
      {0660, "dialout", false, TextId::kPortPermissionJoinGroup, "usermod -aG dialout", "Only"},
      {0660, "root", true, TextId::kPortPermissionOwnerAndAdmins,
       "Only user 'lp' and the administrators' group 'root'", "usermod"},
      {0600, "dialout", false, TextId::kPortPermissionOwnerOnly, "Only user 'lp' can open it",
       "usermod"},
      {0640, "dialout", false, TextId::kPortPermissionOwnerOnly, "Only user 'lp' can open it",
       "usermod"},  // the group may only read
      {0620, "tty", false, TextId::kPortPermissionOwnerOnly, "Only user 'lp'", "usermod"},
  };
  for (const Case& c : cases) {
    const TError error = PermissionDenied("/dev/ttyUSB0", c.mode, "lp", c.group, c.groupIsRoot);
    EXPECT_EQ(error.Id, c.id) << error.Message;
    EXPECT_TRUE(Contains(error.Message, "permission denied")) << error.Message;
    EXPECT_TRUE(Contains(error.Message, c.expected)) << error.Message;
    EXPECT_FALSE(Contains(error.Message, c.never)) << error.Message;
    EXPECT_TRUE(Contains(error.Words(Language::Chinese), "“" + c.group + "”"));
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
    const TStatus diagnosis = DiagnosePort(node);
    const std::string reason = diagnosis.Message();
    if (diagnosis.Ok() || diagnosis.Error().Id != TextId::kPortPermissionOwnerAndAdmins ||
        Contains(reason, "usermod -aG root") || !Contains(reason, "mode 0660")) {
      return "unexpected reason: " + reason;
    }
    return "";
  });
  EXPECT_EQ(failure, "");
}

}  // namespace
}  // namespace korvane
