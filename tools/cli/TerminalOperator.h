#pragma once

#include <mutex>
#include <ostream>
#include <string>

#include "device/DeviceSeams.h"

namespace korvane::cli {

// The operator interface on a terminal: result texts on stdout, progress on
// stderr (a bar on a terminal, plain lines otherwise). Confirmations are taken
// as given: the command line itself is the operator's consent. Several
// operators may share one output lock when ports run in parallel.
class TTerminalOperator : public IOperator {
 public:
  TTerminalOperator(std::string prefix, std::ostream& out, std::ostream& err, bool progressBar,
                    std::mutex& outputLock);

  void ShowMessage(const std::string& text, const std::string& caption) override;
  bool Confirm(const std::string& text, const std::string& caption) override;
  void CreateProgress(int minimum, int maximum, int step) override;
  void StepProgress() override;
  void DestroyProgress() override;

 private:
  void DrawProgress();

  std::string prefix_;
  std::ostream& out_;
  std::ostream& err_;
  bool bar_;
  std::mutex& lock_;
  int minimum_ = 0;
  int maximum_ = 0;
  int step_ = 1;
  int position_ = 0;
};

}  // namespace korvane::cli
