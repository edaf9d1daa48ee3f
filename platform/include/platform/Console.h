#pragma once

#include <memory>

#include "platform/Result.h"

namespace korvane {

// True when standard error is a terminal (progress is drawn only there).
[[nodiscard]] bool StandardErrorIsTerminal();

// True when standard output is a terminal (a station's events then go to rows
// on standard error rather than to standard output as JSON lines).
[[nodiscard]] bool StandardOutputIsTerminal();

// The width in columns of the terminal on standard error; 80 when it cannot
// be told (not a terminal, or a Windows console).
[[nodiscard]] int TerminalColumns();

// Makes the console show the tools' UTF-8 texts (Windows); nothing elsewhere.
void PrepareConsole();

// Standard output takes bytes unchanged from now on: Windows would turn a 0A
// byte into 0D 0A. Nothing elsewhere.
void SetBinaryStandardOutput();

// Flushes and closes standard output. What the program wrote has left it only
// when this succeeds: a late write error (a full disk behind a redirection)
// shows here. The first failure is the one reported.
[[nodiscard]] TStatus CloseStandardOutput();

// While it lives, a terminal on standard input hands over each key as it is
// pressed, without echo or Enter; its earlier mode is restored when the owner
// goes. On anything but a terminal (and on a Windows console, which keeps its
// line mode) it changes nothing.
class TSingleKeyMode {
 public:
  TSingleKeyMode();
  ~TSingleKeyMode();
  TSingleKeyMode(const TSingleKeyMode&) = delete;
  TSingleKeyMode& operator=(const TSingleKeyMode&) = delete;

  // True when the terminal was switched and will be restored.
  [[nodiscard]] bool Active() const { return saved_ != nullptr; }

 private:
  struct Saved;
  std::unique_ptr<Saved> saved_;
};

}  // namespace korvane
