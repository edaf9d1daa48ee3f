#pragma once

#include <string>

#include "cli/CliOptions.h"
#include "cli/Json.h"

namespace korvane::cli {

// The format of the results log's lines and of the JSON documents. Fields are
// only ever added within a format.
inline constexpr int kResultsFormat = 1;

// What ties a result to the run that produced it: a random identifier shared
// by every line and document of one run, and when the run started.
struct TRunRecord {
  std::string RunId;    // 32 lower-case hex digits
  std::string Started;  // UTC, 2026-12-08T09:00:00Z
};

TRunRecord NewRunRecord();

// The current time, UTC, to the second: 2026-12-08T09:00:00Z.
std::string UtcNow();

// Adds version, run_id, started, station, operator and batch.
JsonObject& AddRunFields(JsonObject& json, const TRunRecord& record, const CliOptions& options);

}  // namespace korvane::cli
