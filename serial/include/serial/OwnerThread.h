#pragma once

#include <cstdio>
#include <cstdlib>
#include <thread>

// std::source_location needs a compiler builtin that g++ 12 has and clang 14
// (which clang-tidy uses here) lacks; there the stop message names the bare
// function instead.
#if defined(__has_builtin)
#if __has_builtin(__builtin_source_location)
#define KORVANE_HAS_SOURCE_LOCATION 1
#endif
#endif
#ifdef KORVANE_HAS_SOURCE_LOCATION
#include <source_location>
#endif

namespace korvane {

// The thread that created an object. Methods that belong to that thread call
// Check(); in debug builds a call from any other thread stops the program
// there, naming the method. Cross-thread entries (a loop's Post) do not check.
class TOwnerThread {
 public:
#ifdef KORVANE_HAS_SOURCE_LOCATION
  void Check(std::source_location where = std::source_location::current()) const {
    CheckFrom(where.function_name());
  }
#else
  void Check(const char* function = __builtin_FUNCTION()) const {
    CheckFrom(function);
  }
#endif

 private:
  void CheckFrom([[maybe_unused]] const char* function) const {
#ifndef NDEBUG
    if (owner_ != std::this_thread::get_id()) {
      std::fprintf(stderr, "%s: called on a thread other than its owner's\n", function);
      std::abort();
    }
#endif
  }

#ifndef NDEBUG
  std::thread::id owner_ = std::this_thread::get_id();
#endif
};

}  // namespace korvane
