#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "device/DeviceSeams.h"

namespace korvane::cli {

// The progress rows of all ports on stderr. On a terminal each port has one
// row, redrawn in place and stacked under the others; elsewhere a row change
// that starts a new phase prints one line; silent prints nothing. Diagnostic
// lines go through the board too, so that they never cut a row.
class TProgressBoard {
 public:
  enum class Mode { Terminal, Lines, Silent };
  TProgressBoard(std::ostream& err, Mode mode) : err_(err), mode_(mode) {}
  ~TProgressBoard() { Clear(); }
  TProgressBoard(const TProgressBoard&) = delete;
  TProgressBoard& operator=(const TProgressBoard&) = delete;

  std::size_t AddRow(const std::string& label);
  void SetRow(std::size_t row, const std::string& text, bool newPhase);
  // A whole line of text on stderr, above the rows.
  void Note(const std::string& line);
  // Removes the rows from a terminal; later rows are drawn anew.
  void Clear();

 private:
  void EraseDrawn();
  void Redraw();

  std::ostream& err_;
  Mode mode_;
  std::mutex lock_;
  std::vector<std::string> labels_;
  std::vector<std::string> rows_;
  std::size_t drawn_ = 0;  // rows on the terminal below the cursor's line start
};

enum class Phase { Opening, Connecting, Building, Sending, Verifying, Reading, Done };

// The operator of one port's device operations on the command line: keeps the
// last result text (translated) for the summary, takes the command line as the
// operator's consent, and turns progress signals into phases on the board.
class TPortOperator : public IOperator {
 public:
  TPortOperator(TProgressBoard& board, const std::string& label, Language language,
                bool verifyFollows);

  void ShowMessage(const TDeviceText& text, TextId caption) override;
  bool Confirm(const TDeviceText& text, TextId caption) override;
  void CreateProgress(int minimum, int maximum, int step) override;
  void StepProgress() override;
  void DestroyProgress() override;

  void SetPhase(Phase phase);
  // Redraws the row with the time elapsed (after each wait).
  void Tick();

  // The phase as the results name it ("block 2/5"), and in the operator's language.
  std::string PhaseName() const;
  std::string PhaseText() const;
  int Percent() const;
  const std::string& Message() const { return message_; }
  // The catalogue's words in the operator's language.
  std::string Say(TextId id, const std::vector<std::string>& args = {}) const {
    return Text(id, language_, args);
  }
  std::string Words(const TError& error) const { return error.Words(language_); }
  std::int64_t ElapsedMs() const;

  // Called on each redraw of the row, after it (a station shows the unit's
  // progress its own way); `newPhase` as for the board.
  std::function<void(bool newPhase)> OnShow;

 private:
  void Show(bool newPhase);
  TextId PhaseId() const;
  std::vector<std::string> PhaseArgs() const;
  double PlannedSeconds() const;

  TProgressBoard& board_;
  std::size_t row_;
  Language language_;
  bool verifyFollows_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  Phase phase_ = Phase::Opening;
  bool programming_ = false;
  int steps_ = 0;
  std::string message_;
};

}  // namespace korvane::cli
