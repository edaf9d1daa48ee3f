#include "cli/Progress.h"

#include <algorithm>
#include <cstdio>

#include "cli/Messages.h"
#include "device/ConfigImage.h"
#include "device/DeviceOperations.h"

namespace korvane::cli {
namespace {

constexpr int kBuildSteps = 32;  // one per code area, then one per acknowledged block
constexpr double kHandshakeSeconds = kRequestWaitMs / 1000.0;
constexpr double kBlockSeconds = kBlockWaitMs / 1000.0;
constexpr double kReadStepSeconds = kReadWaitMs / 1000.0;
constexpr double kReadSeconds = kReadStepSeconds * kReadWaitCount;

std::string ElapsedText(std::int64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%llds", static_cast<long long>(ms / 1000),
                static_cast<long long>(ms % 1000 / 100));
  return text;
}

}  // namespace

std::size_t TProgressBoard::AddRow(const std::string& label) {
  std::lock_guard guard(lock_);
  labels_.push_back(label);
  rows_.emplace_back();
  return rows_.size() - 1;
}

void TProgressBoard::SetRow(std::size_t row, const std::string& text, bool newPhase) {
  std::lock_guard guard(lock_);
  if (rows_[row] == text) {
    return;  // a redraw would only flicker
  }
  rows_[row] = text;
  if (mode_ == Mode::Terminal) {
    Redraw();
  } else if (mode_ == Mode::Lines && newPhase) {
    err_ << "korvane-cli: " << labels_[row] << ": " << text << std::endl;
  }
}

void TProgressBoard::Note(const std::string& line) {
  std::lock_guard guard(lock_);
  EraseDrawn();
  err_ << line << "\n";
  if (mode_ == Mode::Terminal) {
    Redraw();
  }
  err_ << std::flush;
}

void TProgressBoard::Clear() {
  std::lock_guard guard(lock_);
  EraseDrawn();
  std::fill(rows_.begin(), rows_.end(), std::string());
  err_ << std::flush;
}

void TProgressBoard::EraseDrawn() {
  if (drawn_ > 0) {
    err_ << "\033[" << drawn_ << "A\r\033[J";
    drawn_ = 0;
  }
}

void TProgressBoard::Redraw() {
  EraseDrawn();
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (!rows_[i].empty()) {
      err_ << labels_[i] << ": " << rows_[i] << "\n";
      ++drawn_;
    }
  }
  err_ << std::flush;
}

TPortOperator::TPortOperator(TProgressBoard& board, const std::string& label, Language language,
                             bool verifyFollows)
    : board_(board),
      row_(board.AddRow(label)),
      language_(language),
      verifyFollows_(verifyFollows) {}

void TPortOperator::ShowMessage(const TDeviceText& text, TextId /*caption*/) {
  message_ = Text(text.Id, language_, text.Args);
}

bool TPortOperator::Confirm(const TDeviceText& /*text*/, TextId /*caption*/) {
  return true;  // the command line is the operator's consent
}

void TPortOperator::CreateProgress(int /*minimum*/, int maximum, int /*step*/) {
  programming_ = maximum > kReadWaitCount;
  steps_ = 0;
  if (programming_) {
    SetPhase(Phase::Building);
  } else if (phase_ != Phase::Verifying) {
    SetPhase(Phase::Reading);
  } else {
    Show(false);
  }
}

void TPortOperator::StepProgress() {
  ++steps_;
  const bool blockStarts = programming_ && steps_ >= kBuildSteps && steps_ < kBuildSteps + 5;
  if (programming_ && steps_ == kBuildSteps) {
    phase_ = Phase::Sending;
  }
  Show(blockStarts);
}

void TPortOperator::DestroyProgress() {}

void TPortOperator::SetPhase(Phase phase) {
  if (phase == Phase::Verifying) {
    steps_ = 0;  // the read-back's own steps follow
  }
  phase_ = phase;
  Show(true);
}

void TPortOperator::Tick() {
  Show(false);
}

std::string TPortOperator::PhaseName() const {
  return Text(PhaseId(), Language::English, PhaseArgs());
}

std::string TPortOperator::PhaseText() const {
  return Say(PhaseId(), PhaseArgs());
}

TextId TPortOperator::PhaseId() const {
  switch (phase_) {
    case Phase::Opening:
      return TextId::kCliPhaseOpening;
    case Phase::Connecting:
      return TextId::kCliPhaseConnecting;
    case Phase::Building:
      return TextId::kCliPhaseBuilding;
    case Phase::Sending:
      return TextId::kCliPhaseBlock;
    case Phase::Verifying:
      return TextId::kCliPhaseVerifying;
    case Phase::Reading:
      return TextId::kCliPhaseReading;
    case Phase::Done:
      break;
  }
  return TextId::kCliPhaseDone;
}

// The block being sent, for the block phase.
std::vector<std::string> TPortOperator::PhaseArgs() const {
  return {std::to_string(std::min(steps_ - kBuildSteps + 1, kBlockCount)),
          std::to_string(kBlockCount)};
}

double TPortOperator::PlannedSeconds() const {
  if (phase_ == Phase::Reading) {
    return kReadSeconds;
  }
  return kHandshakeSeconds + kBlockSeconds * kBlockCount + (verifyFollows_ ? kReadSeconds : 0);
}

int TPortOperator::Percent() const {
  double done = 0;
  switch (phase_) {
    case Phase::Opening:
    case Phase::Connecting:
      break;
    case Phase::Building:
      done = kHandshakeSeconds;
      break;
    case Phase::Sending:
      done = kHandshakeSeconds + kBlockSeconds * std::min(steps_ - kBuildSteps, kBlockCount);
      break;
    case Phase::Verifying:
      done = kHandshakeSeconds + kBlockSeconds * kBlockCount + kReadStepSeconds * steps_;
      break;
    case Phase::Reading:
      done = kReadStepSeconds * steps_;
      break;
    case Phase::Done:
      return 100;
  }
  return std::clamp(static_cast<int>(100 * done / PlannedSeconds()), 0, 99);
}

std::int64_t TPortOperator::ElapsedMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start_)
      .count();
}

void TPortOperator::Show(bool newPhase) {
  board_.SetRow(row_,
                PhaseText() + "  " + std::to_string(Percent()) + "%  " + ElapsedText(ElapsedMs()),
                newPhase);
  if (OnShow) {
    OnShow(newPhase);
  }
}

}  // namespace korvane::cli
