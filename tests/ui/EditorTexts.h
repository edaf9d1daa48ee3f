#pragma once

#include <string>
#include <vector>

namespace korvane::test {

// Every text the editor shows, gathered from the running windows: the
// titles, captions and items of the main window and the code editor, and the
// message boxes each command shows, driven through the window with a fake
// port and an instant loop. One "where<TAB>text" line each, in the order
// found; a line break in a text is written "\n", a backslash "\\", and the
// variable parts of a text (the folder of its files) as "{dir}".
std::vector<std::string> EditorTexts();

}  // namespace korvane::test
