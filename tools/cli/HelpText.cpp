#include "cli/CliOptions.h"

namespace korvane::cli {
namespace {

constexpr const char* kCommonOptions =
    "  -q, --quiet        no progress on stderr, errors only\n"
    "  --lang en|zh       language of the device results (default: English, Chinese\n"
    "                     for a zh_* locale)\n";

constexpr const char* kProfileOption =
    "  --profile FILE     take defaults from FILE (INI, section [korvane-cli], keys\n"
    "                     ports, matches, baud, log, station, operator, batch)\n"
    "                     instead of ~/.config/korvane/cli.ini; options given win\n";

constexpr const char* kTraceOptions =
    "  --station NAME     the station, operator and batch recorded with each result\n"
    "  --operator NAME    (results log and JSON)\n"
    "  --batch NAME\n";

constexpr const char* kPortForms =
    "  -p, --port PORT    the port to use\n"
    "PORT is a name from 'korvane-cli ports', a device path (also a /dev/serial/by-id/\n"
    "link), or a filter that must match exactly one listed port: serial=SERIAL,\n"
    "vid:pid=1a86:7523, path=1-2.3 (where the adapter is plugged in, as listed).\n";

constexpr const char* kWriteExitCodes =
    "Exit codes: 0 success, 1 unexpected error, 2 usage, 3 code set file, 10 port,\n"
    "11 handshake, 12 image file, 13 block not acknowledged, 14 code over 126\n"
    "characters, 15 read-back length, 16 verify mismatch, 17 programmed but the\n"
    "output or log could not be written, 18 line lost (device unplugged),\n"
    "130 interrupted\n"
    "(SIGINT), 143 terminated (SIGTERM); with several ports, the code of the\n"
    "first port that failed. Ctrl-C ends each device at its next wait (a block in flight is\n"
    "completed); a second Ctrl-C ends at once.\n";

}  // namespace

std::string HelpText(Command command) {
  switch (command) {
    case Command::Ports:
      return std::string(
                 "Usage: korvane-cli ports [--json]\n"
                 "Lists the serial ports, one a line: name, device path, driver and, for USB\n"
                 "adapters, VID:PID, serial number, manufacturer, product, the USB bus path\n"
                 "(path=1-2.3, where it is plugged in) and the by-id and by-path links.\n"
                 "  --json             one JSON document on stdout\n") +
             kProfileOption + kCommonOptions;
    case Command::Write:
      return std::string(
                 "Usage: korvane-cli write -p PORT [-p PORT ...] [options] FILE.IOS\n"
                 "Programs the device on each PORT with the codes of FILE.IOS, reads it back\n"
                 "and compares it with the file. Several ports are programmed in parallel.\n") +
             kPortForms +
             "  --baud-index N     device control baud rate: 0=4800 1=9600 (default) 2=19200\n"
             "                     3=57600 4=115200\n"
             "  --baud RATE        the same, given as the rate (e.g. --baud 19200)\n"
             "  --no-verify        skip the read-back (saves 4.8 s per device); --verify is\n"
             "                     the default\n"
             "  --allow-empty      program a file that holds none of the 32 code keys\n"
             "  --lenient          accept codes that are not pairs of hex digits, converted\n"
             "                     as the editor does (a warning for each); refused (exit 3)\n"
             "                     without it\n"
             "  --image-dir DIR    keep the image files in DIR (default: a private\n"
             "                     temporary folder removed at exit)\n"
             "  --json             one JSON document with the result of each port on stdout\n"
             "  --log FILE         append one JSON line per port to FILE\n"
             "  -v, --verbose      trace the protocol (bytes sent and received, waits)\n" +
             kTraceOptions + kProfileOption + kCommonOptions + kWriteExitCodes;
    case Command::Read:
      return std::string(
                 "Usage: korvane-cli read -p PORT [-o FILE.IOS|-] [options]\n"
                 "Reads the codes held by the device. Without -o (or with -o -) the codes go\n"
                 "to stdout as a code set file; the device's baud rate is reported on stderr.\n") +
             kPortForms +
             "  -o, --output FILE  write the codes to FILE ('-' for stdout)\n"
             "  --accept-overlong  keep a reply whose code areas claim over 63 bytes (a\n"
             "                     device given codes over 126 characters by older tools);\n"
             "                     such a code takes bytes from the following areas\n"
             "  --json             one JSON document with the codes on stdout\n"
             "  --log FILE         append one JSON line to FILE\n"
             "  -v, --verbose      trace the protocol\n" +
             kTraceOptions + kProfileOption + kCommonOptions +
             "Exit codes: 0 success, 2 usage, 3 log cannot be opened, 10 port, 15 reply\n"
             "length or an area length byte over 63, 17 read but the output or log could\n"
             "not be written, 18 line lost (device unplugged), 130 interrupted, 143\n"
             "terminated.\n";
    case Command::Image:
      return std::string(
                 "Usage: korvane-cli image FILE.IOS -o OUT.bin [--baud-index N | --baud RATE]\n"
                 "Builds the 2560-byte configuration image of FILE.IOS without a device.\n"
                 "  -o, --output FILE  where the image goes (not the input file; '-' for\n"
                 "                     stdout)\n"
                 "  --allow-empty      build from a file that holds none of the 32 code keys\n"
                 "  --lenient          accept codes that are not pairs of hex digits\n") +
             kProfileOption + kCommonOptions +
             "Exit codes: 0 success, 2 usage, 3 file (unreadable input, no code keys,\n"
             "codes that are not hex, output not written), 14 code over 126 characters.\n";
    case Command::Help:
    case Command::Version:
      break;
  }
  return "Usage: korvane-cli COMMAND [options]\n"
         "Commands:\n"
         "  ports   list the serial ports\n"
         "  write   program devices from a code set file\n"
         "  read    read the codes back from a device\n"
         "  image   build the configuration image of a code set file\n"
         "Options: --help, --version. Options take their value as '--opt value' or\n"
         "'--opt=value'; '--' ends the options.\n"
         "Run 'korvane-cli COMMAND --help' for the options of a command.\n";
}

}  // namespace korvane::cli
