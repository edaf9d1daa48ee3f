#pragma once

namespace korvane {

// One owner for a system handle: closes it when it goes out of scope; moving
// hands the handle on. `Traits` says which value is "none" and how to close.
template <class Traits>
class TUniqueHandle {
 public:
  using Native = typename Traits::Native;

  TUniqueHandle() = default;
  explicit TUniqueHandle(Native handle) : handle_(handle) {}
  TUniqueHandle(const TUniqueHandle&) = delete;
  TUniqueHandle& operator=(const TUniqueHandle&) = delete;
  TUniqueHandle(TUniqueHandle&& other) noexcept : handle_(other.Release()) {}
  TUniqueHandle& operator=(TUniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
    }
    return *this;
  }
  ~TUniqueHandle() { Reset(); }

  Native Get() const { return handle_; }
  bool Valid() const { return Traits::IsValid(handle_); }
  explicit operator bool() const { return Valid(); }

  // Gives the handle up without closing it.
  Native Release() {
    const Native handle = handle_;
    handle_ = Traits::kNone;
    return handle;
  }
  // Closes the handle held (if any) and takes `handle` instead.
  void Reset(Native handle = Traits::kNone) {
    const Native old = Release();
    if (Traits::IsValid(old)) {
      static_cast<void>(Traits::Close(old));  // the destructor has nobody to tell
    }
    handle_ = handle;
  }
  // Closes now, reporting whether the close went well: it may carry a late
  // write error that the file's owner must hear of.
  [[nodiscard]] bool Close() {
    const Native old = Release();
    return !Traits::IsValid(old) || Traits::Close(old);
  }

 private:
  Native handle_ = Traits::kNone;
};

#ifdef _WIN32
struct TWin32HandleTraits {
  using Native = void*;  // HANDLE, without <windows.h> in every file
  static inline void* const kNone = reinterpret_cast<void*>(-1);  // INVALID_HANDLE_VALUE
  static bool IsValid(void* handle) { return handle != kNone && handle != nullptr; }
  static bool Close(void* handle);
};
// A Windows HANDLE; both INVALID_HANDLE_VALUE and null mean none.
using UniqueHandle = TUniqueHandle<TWin32HandleTraits>;
#else
struct TFdTraits {
  using Native = int;
  static constexpr int kNone = -1;
  static bool IsValid(int fd) { return fd >= 0; }
  static bool Close(int fd);
};
// A POSIX file descriptor.
using UniqueFd = TUniqueHandle<TFdTraits>;
#endif

}  // namespace korvane
