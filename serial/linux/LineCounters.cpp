#include <linux/serial.h>
#include <sys/ioctl.h>

#include "posix/LineCounters.h"

namespace korvane {

bool ReadLineCounters(int fd, TLineCounters& counters) {
  serial_icounter_struct icount{};
  if (::ioctl(fd, TIOCGICOUNT, &icount) != 0) {
    return false;
  }
  counters =
      TLineCounters{{icount.frame, icount.parity, icount.overrun, icount.buf_overrun, icount.brk},
                    icount.dcd,
                    icount.rng};
  return true;
}

}  // namespace korvane
