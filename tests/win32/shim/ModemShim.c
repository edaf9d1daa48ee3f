/* Modem lines for pseudo-terminals, preloaded into Wine (LD_PRELOAD).
 *
 * A pseudo-terminal has no modem lines, so Wine refuses comm-event masks with
 * carrier or ring bits on a COM port mapped to one, and DTR/RTS changes fail.
 * When a modem ioctl fails on a pseudo-terminal, this answers it from the state
 * file named by KORVANE_MODEM_STATE instead: whitespace-separated decimal
 * numbers, first the TIOCM_* bits, then the counters of struct
 * serial_icounter_struct in declaration order (cts dsr rng dcd rx tx frame
 * overrun parity brk buf_overrun). Missing numbers, or a missing file, are 0.
 * The file is read on every call, so replacing it (atomically, by rename) is
 * what a polling waiter sees next. Line changes are accepted and dropped. */

#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

enum { kStateNumbers = 12, kIcountFields = 11, kRingCount = 3 };

/* Unix98 pseudo-terminal slaves have majors 136 to 143. */
static int IsPseudoTerminal(int fd) {
  struct stat status;
  if (fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) {
    return 0;
  }
  const unsigned int major_number = major(status.st_rdev);
  return major_number >= 136 && major_number <= 143;
}

/* Fills `numbers` from the state file; all zero when it cannot be read. */
static void ReadState(long numbers[kStateNumbers]) {
  memset(numbers, 0, sizeof(long) * kStateNumbers);
  const char* path = getenv("KORVANE_MODEM_STATE");
  if (path == NULL) {
    return;
  }
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return;
  }
  char text[512];
  const ssize_t got = read(fd, text, sizeof text - 1);
  close(fd);
  if (got <= 0) {
    return;
  }
  text[got] = '\0';
  const char* cursor = text;
  for (int i = 0; i < kStateNumbers; ++i) {
    char* end = NULL;
    const long value = strtol(cursor, &end, 10);
    if (end == cursor) {
      break;
    }
    numbers[i] = value;
    cursor = end;
  }
}

/* Wine raises EV_RING only when it sees TIOCM_RI change, never from the ring
 * counter; so every ring counted flips the reported RI line. CD and RI then
 * come from one reading, and one file replacement that raises the carrier and
 * counts a ring completes one wait with both events. */
static int LineBits(const long numbers[kStateNumbers]) {
  const int bits = (int)numbers[0];
  return (numbers[kRingCount] & 1) ? bits ^ TIOCM_RI : bits;
}

static void FillIcount(struct serial_icounter_struct* icount, const long numbers[kStateNumbers]) {
  int* fields[kIcountFields] = {&icount->cts,   &icount->dsr,        &icount->rng,
                                &icount->dcd,   &icount->rx,         &icount->tx,
                                &icount->frame, &icount->overrun,    &icount->parity,
                                &icount->brk,   &icount->buf_overrun};
  memset(icount, 0, sizeof *icount);
  for (int i = 0; i < kIcountFields; ++i) {
    *fields[i] = (int)numbers[i + 1];
  }
}

/* Answers a modem request from the state file; false for other requests. */
static int AnswerModemRequest(unsigned long request, void* argument) {
  long numbers[kStateNumbers];
  switch (request) {
    case TIOCMGET:
      ReadState(numbers);
      *(int*)argument = LineBits(numbers);
      return 1;
    case TIOCGICOUNT:
      ReadState(numbers);
      FillIcount((struct serial_icounter_struct*)argument, numbers);
      return 1;
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC:
      return 1;
    default:
      return 0;
  }
}

typedef int (*IoctlFunction)(int, unsigned long, ...);
static IoctlFunction real_ioctl;

/* Resolved before any thread of the host process runs. */
__attribute__((constructor)) static void FindRealIoctl(void) {
  void* symbol = dlsym(RTLD_NEXT, "ioctl");
  memcpy(&real_ioctl, &symbol, sizeof real_ioctl);
}

int ioctl(int fd, unsigned long request, ...) {
  if (real_ioctl == NULL) {
    FindRealIoctl();
  }
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  const int result = real_ioctl(fd, request, argument);
  if (result == -1 && argument != NULL) {
    const int saved = errno;
    if (IsPseudoTerminal(fd) && AnswerModemRequest(request, argument)) {
      return 0;
    }
    errno = saved;
  }
  return result;
}
