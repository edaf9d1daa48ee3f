#pragma once

#include <memory>
#include <string>

#include "platform/Console.h"

namespace korvane::cli {

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
  std::shared_ptr<Shared> shared_;  // outlives the reader: the thread may block in a read
  std::unique_ptr<TSingleKeyMode> singleKeys_;
};

}  // namespace korvane::cli
