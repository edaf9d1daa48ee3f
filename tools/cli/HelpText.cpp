#include "cli/CliOptions.h"

namespace korvane::cli {
namespace {

constexpr const char* kCommonOptions =
    "  -q, --quiet        no progress on stderr, errors only\n"
    "  --lang en|zh       language of results and messages (default: English, Chinese\n"
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
             "  --no-verify        skip the read-back (saves about 3.3 s per device);\n"
             "                     --verify is the default\n"
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
    case Command::Verify:
      return std::string(
                 "Usage: korvane-cli verify -p PORT [options] FILE.IOS\n"
                 "Reads the device on PORT back and compares its codes and baud rate with\n"
                 "FILE.IOS and the baud rate given, code by code, without writing anything.\n") +
             kPortForms +
             "  --baud-index N     the baud rate the device should hold: 0=4800 1=9600\n"
             "                     (default) 2=19200 3=57600 4=115200\n"
             "  --baud RATE        the same, given as the rate (e.g. --baud 19200)\n"
             "  --allow-empty      compare with a file that holds none of the 32 code keys\n"
             "  --json             one JSON document with the result and the differences\n"
             "  --log FILE         append one JSON line to FILE\n"
             "  -v, --verbose      trace the protocol\n" +
             kTraceOptions + kProfileOption + kCommonOptions +
             "Exit codes: 0 the device holds the file, 2 usage, 3 code set file, 10 port,\n"
             "15 reply length, 16 different (each difference on stderr), 17 the result\n"
             "could not be written, 18 line lost, 130 interrupted, 143 terminated.\n";
    case Command::Station:
      return std::string(
                 "Usage: korvane-cli station (-p PORT ... | --match FILTER ...) [options] "
                 "FILE.IOS\n"
                 "A programming station: programs, verifies and logs every unit that arrives\n"
                 "on the selected ports with the codes of FILE.IOS, one after another per\n"
                 "slot, until Ctrl-C. A unit that brings its own USB-serial adapter arrives\n"
                 "when its port appears (the ports are listed every 250 ms); the slot is armed\n"
                 "again once it is unplugged, so a unit left in place is never programmed\n"
                 "twice. With a fixed adapter use --confirm: the operator confirms each unit.\n") +
             "  -p, --port PORT    a slot: a name, a device path, serial=S or\n"
             "                     vid:pid=V:P (repeatable); 'all' makes a slot of every\n"
             "                     listed port with a device (never the system console)\n"
             "  --match FILTER     a slot for every port FILTER matches (vid:pid=V:P,\n"
             "                     serial=S; repeatable); with --port, a device that\n"
             "                     matches none of the filters is refused\n"
             "  --include-virtual  --port all takes simulator ports too\n"
             "  --once             one unit per slot, then the summary\n"
             "  --confirm[=KEYS]   wait for the operator before each unit: Enter starts\n"
             "                     every waiting slot, or the n-th of KEYS starts slot n\n"
             "  --baud-index N, --baud RATE  the device's baud rate, as for write\n"
             "  --allow-empty      program a file that holds none of the 32 code keys\n"
             "  --lenient          accept codes that are not pairs of hex digits\n"
             "  --image-dir DIR    keep the image files in DIR\n"
             "  --json             events as JSON lines on stdout even on a terminal, no rows\n"
             "  --log FILE         append one JSON line per unit to FILE\n"
             "  -v, --verbose      trace the protocol\n" +
             kTraceOptions + kProfileOption + kCommonOptions +
             "On a terminal (stderr) each slot has a line (port, units ok/failed, last\n"
             "result, phase, %). When stdout is not a terminal, or with --json, it gets one\n"
             "JSON line per event (slot_armed, device_found, device_refused, phase,\n"
             "result, device_removed, summary).\n"
             "Ctrl-C ends the units in flight at their next wait (reported interrupted,\n"
             "possibly partly written) and prints the summary per slot with the rate.\n"
             "Exit codes: 0 every unit ok (--once), 2 usage, 3 code set file or log,\n"
             "12 image folder, 19 some units failed (--once), 130 interrupted, 143\n"
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
         "  verify  compare a device with a code set file without writing it\n"
         "  station program every unit that arrives on the selected ports\n"
         "Options: --help, --version. Options take their value as '--opt value' or\n"
         "'--opt=value'; '--' ends the options.\n"
         "Run 'korvane-cli COMMAND --help' for the options of a command.\n";
}

}  // namespace korvane::cli
