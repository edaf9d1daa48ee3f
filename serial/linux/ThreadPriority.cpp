#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "posix/PosixBackend.h"

namespace korvane {

// Raises the calling thread a little above its peers where the system lets
// it (a nice value below the process's needs privilege). A refusal is
// ignored: priority helps latency but is never a reason to fail the open.
void RaiseThreadPriority(TThreadPriority priority) {
  const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, thread);
  if (errno != 0) {
    return;
  }
  const int steps = priority == TThreadPriority::Highest ? 2 : 1;
  ::setpriority(PRIO_PROCESS, thread, nice - steps);
}

}  // namespace korvane
