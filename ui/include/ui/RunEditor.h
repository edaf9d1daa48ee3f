#pragma once

#include <functional>

namespace korvane {

class TFormMain;

// Runs the editor in the application already created: the chosen language, the
// main window with its serial component and port list, the code editor dialog,
// then the event loop until the window closes. `beforeShow`, when set, sees the
// window just before it is first shown (the start-up benchmark hooks in there).
int RunEditor(const std::function<void(TFormMain&)>& beforeShow = {});

}  // namespace korvane
