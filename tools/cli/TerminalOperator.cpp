#include "cli/TerminalOperator.h"

#include <algorithm>

namespace korvane::cli {
namespace {
constexpr int kBarWidth = 30;
}

TTerminalOperator::TTerminalOperator(std::string prefix, std::ostream& out, std::ostream& err,
                                     bool progressBar, std::mutex& outputLock)
    : prefix_(std::move(prefix)), out_(out), err_(err), bar_(progressBar), lock_(outputLock) {}

void TTerminalOperator::ShowMessage(const std::string& text, const std::string& /*caption*/) {
  std::lock_guard guard(lock_);
  out_ << prefix_ << text << std::endl;
}

bool TTerminalOperator::Confirm(const std::string& /*text*/, const std::string& /*caption*/) {
  return true;
}

void TTerminalOperator::CreateProgress(int minimum, int maximum, int step) {
  minimum_ = minimum;
  maximum_ = std::max(minimum, maximum);
  step_ = step;
  position_ = minimum;
  DrawProgress();
}

void TTerminalOperator::StepProgress() {
  const int next = std::min(position_ + step_, maximum_);
  if (next == position_) {
    return;  // a full bar takes no further steps
  }
  position_ = next;
  DrawProgress();
}

void TTerminalOperator::DestroyProgress() {
  std::lock_guard guard(lock_);
  if (bar_) {
    err_ << "\r\033[K" << std::flush;
  }
}

void TTerminalOperator::DrawProgress() {
  std::lock_guard guard(lock_);
  const int span = std::max(1, maximum_ - minimum_);
  const int done = position_ - minimum_;
  if (!bar_) {
    err_ << prefix_ << "progress " << done << "/" << span << std::endl;
    return;
  }
  const int filled = done * kBarWidth / span;
  err_ << "\r" << prefix_ << "[" << std::string(static_cast<std::size_t>(filled), '#')
       << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] " << done << "/"
       << span << std::flush;
}

}  // namespace korvane::cli
