#pragma once

#include <memory>
#include <string>

namespace korvane::cli {

// The width of the terminal on stderr in columns; 80 when it cannot be told.
int TerminalColumns();

// True when standard output is a terminal (a station's events then go to rows
// on stderr rather than to stdout as JSON lines).
bool StandardOutputIsTerminal();

// The operator's key presses on stdin, read by a thread of their own. With
// `singleKeys` on a terminal, each key counts when pressed (no Enter needed,
// no echo); the terminal's mode is restored when the reader goes.
class TKeyReader {
 public:
  TKeyReader();
  ~TKeyReader();
  TKeyReader(const TKeyReader&) = delete;
  TKeyReader& operator=(const TKeyReader&) = delete;

  void Start(bool singleKeys);
  // The keys pressed since the last call, in order.
  std::string Take();

 private:
  struct Shared;
  struct SavedMode;
  std::shared_ptr<Shared> shared_;  // outlives the reader: the thread may block in a read
  std::unique_ptr<SavedMode> saved_;
};

}  // namespace korvane::cli
