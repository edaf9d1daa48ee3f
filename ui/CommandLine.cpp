#include "ui/CommandLine.h"

#include "KorvaneVersion.h"

namespace korvane {
namespace {

constexpr const char* kEditorHelp = R"(Usage: korvane-editor [OPTION]... [FILE]
Edit the press and release codes of the four inputs of a KORVANE device, keep
them in code set files (.IOS), and write them into the device or read them
back over a serial port.

FILE, a code set file, is loaded once the window has started, as "打开" loads
a chosen file but without asking first; a file that cannot be read is
reported and the window starts with an empty table. Opening a .IOS file from
the file manager starts the editor this way.

Options:
  -h, --help       show this help and exit
  -V, --version    show the version and exit
  --lang en        show the window in English (Chinese is the default);
                   the environment variable KORVANE_LANG=en does the same
Qt's own options are accepted too, for example -platform offscreen.

Exit status:
  0   the window was closed
  134 Qt could not open the window (for example, no display); it says why

Files:
  Configuration.bin   the image built for each write: beside the program when
                      its folder is writable and no installer put it there,
                      else in $XDG_STATE_HOME/korvane/ (~/.local/state/korvane/
                      when XDG_STATE_HOME is not set; %LOCALAPPDATA%\korvane\
                      on Windows)
  Configuration.bin.lock
                      keeps two programs from sending the same image at once
  *.IOS               code set files, chosen with the open and save buttons
)";

}  // namespace

std::optional<std::string> EditorInfoText(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "-h" || arg == "--help") {
      return kEditorHelp;
    }
    if (arg == "-V" || arg == "--version") {
      return std::string("korvane-editor ") + KORVANE_VERSION + "\n";
    }
  }
  return std::nullopt;
}

QString CodeSetFileArgument(const QStringList& arguments) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (arg == QLatin1String("--")) {
      return i + 1 < arguments.size() ? arguments[i + 1] : QString();
    }
    if (arg == QLatin1String("--lang")) {
      ++i;  // its value
      continue;
    }
    if (!arg.startsWith(QLatin1Char('-'))) {
      return arg;
    }
  }
  return {};
}

}  // namespace korvane
