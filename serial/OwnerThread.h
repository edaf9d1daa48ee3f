#pragma once

#include <cstdio>
#include <cstdlib>
#include <source_location>
#include <thread>

namespace korvane {

// The thread that created an object. Methods that belong to that thread call
// Check(); in debug builds a call from any other thread stops the program
// there, naming the method. Cross-thread entries (a loop's Post) do not check.
class TOwnerThread {
 public:
  void Check(std::source_location where = std::source_location::current()) const {
#ifndef NDEBUG
    if (owner_ != std::this_thread::get_id()) {
      std::fprintf(stderr, "%s: called on a thread other than its owner's\n",
                   where.function_name());
      std::abort();
    }
#else
    static_cast<void>(where);
#endif
  }

 private:
#ifndef NDEBUG
  std::thread::id owner_ = std::this_thread::get_id();
#endif
};

}  // namespace korvane
