#pragma once

#include <QStringList>

#include <functional>

namespace korvane {

class TFormMain;
class TQtUiLoop;
struct TFormMainServices;

// How the editor starts: the command line and, for tests, the window's
// services.
struct TEditorStart {
  // The application's arguments after Qt took its own options out, the
  // program first: --lang and a code set file to open.
  QStringList Arguments;
  // Sees the window just before it is first shown (the start-up benchmark
  // hooks in there).
  std::function<void(TFormMain&)> BeforeShow;
  // The window's services on the loop; empty: the serial component on the
  // system's ports and Qt's message boxes and dialogs.
  std::function<TFormMainServices(TQtUiLoop&)> Services;
};

// Runs the editor in the application already created: the chosen language, the
// main window with its serial component and port list, the code editor dialog,
// the window shown, the code set file named on the command line loaded into
// it, then the event loop until the window closes.
int RunEditor(const TEditorStart& start);

// The same on the application's own command line.
int RunEditor(const std::function<void(TFormMain&)>& beforeShow = {});

}  // namespace korvane
