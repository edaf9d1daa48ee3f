#include "cli/StationTerminal.h"

#include <cstdio>
#include <mutex>
#include <thread>

namespace korvane::cli {

struct TKeyReader::Shared {
  std::mutex Lock;
  std::string Pressed;
};

TKeyReader::TKeyReader() : shared_(std::make_shared<Shared>()) {}

TKeyReader::~TKeyReader() = default;

void TKeyReader::Start(bool singleKeys) {
  if (singleKeys) {
    singleKeys_ = std::make_unique<TSingleKeyMode>();
  }
  // Detached: a read of stdin cannot be cut short; the shared state outlives it.
  std::thread([shared = shared_] {
    for (int key = std::getchar(); key != EOF; key = std::getchar()) {
      std::lock_guard guard(shared->Lock);
      shared->Pressed.push_back(static_cast<char>(key));
    }
  }).detach();
}

std::string TKeyReader::Take() {
  std::lock_guard guard(shared_->Lock);
  std::string keys;
  keys.swap(shared_->Pressed);
  return keys;
}

}  // namespace korvane::cli
