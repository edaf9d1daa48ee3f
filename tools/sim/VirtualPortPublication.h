#pragma once

#include <memory>
#include <string>

#include "platform/Result.h"
#include "platform/UniqueHandle.h"

namespace korvane {

// A virtual port published for the editor and the CLI to list (see
// serial/VirtualPorts.h for the layout); withdrawing it (destruction) removes
// the link and the lock.
class TVirtualPortPublication {
 public:
  TVirtualPortPublication(std::string name, std::string linkPath, UniqueFd lock);
  ~TVirtualPortPublication();
  TVirtualPortPublication(const TVirtualPortPublication&) = delete;
  TVirtualPortPublication& operator=(const TVirtualPortPublication&) = delete;

  const std::string& Name() const { return name_; }
  const std::string& LinkPath() const { return linkPath_; }

 private:
  std::string name_;
  std::string linkPath_;
  UniqueFd lock_;  // held locked while the port is published
};

// Publishes `slavePath` under `name`, or under the first free KSIM<n> when
// `name` is empty; fails with a readable message when the name is taken by a
// live simulator or the directory cannot be used.
[[nodiscard]] TResult<std::unique_ptr<TVirtualPortPublication>> PublishVirtualPort(
    const std::string& slavePath, const std::string& name = {});

}  // namespace korvane
