#pragma once

#include <string>

#include "cli/PortSelection.h"
#include "cli/Progress.h"
#include "cli/RunReport.h"
#include "model/CodeTable.h"

namespace korvane::cli {

// The steps of programming one device, shared by `write` and `station`.

// Loads the run's code set file into `table`; refuses a file without any code
// key unless --allow-empty. Returns the exit code (0 to go on).
int LoadForWrite(RunSetup& run, CodeTable& table);
// Opens the results log, then loads the code set file as LoadForWrite does.
int OpenLogAndLoad(RunSetup& run, CodeTable& table);

// Chooses the ports of --port before anything is sent (a refusal leaves its
// line in the results log); installs the interrupt handlers. Returns the exit code (0 to go on).
int PrepareRun(RunSetup& run, PortSelection& selection);

// Opens the results log of --log, when one was asked for.
int OpenResultsLog(RunSetup& run);

// Opens the port, programs the device and, unless --no-verify, reads it back
// and compares; `oper` shows the progress.
PortOutcome WriteOnePort(RunSetup& run, const CodeTable& table, const PortTarget& target,
                         const std::string& imagePath, TPortOperator& oper);

// The image file of one port in `folder`: the editor's name for a single port,
// one named after the port for several.
std::string ImagePathFor(const std::string& folder, const PortTarget& target, bool several);

}  // namespace korvane::cli
