#include "cli/RunRecord.h"

#include <KorvaneVersion.h>

#include <chrono>
#include <cstdio>
#include <random>

namespace korvane::cli {

TRunRecord NewRunRecord() {
  // Runs on many stations are told apart without coordination: 128 random
  // bits from the system's source.
  std::random_device source;
  std::string id;
  for (int word = 0; word < 4; ++word) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(source()));
    id += hex;
  }
  return {id, UtcNow()};
}

// The system clock counts UTC seconds from 1970 (leap seconds left out), so
// the calendar of <chrono> gives the same date and time as the C library.
std::string UtcNow() {
  using namespace std::chrono;
  const auto second = floor<seconds>(system_clock::now());
  const auto day = floor<days>(second);
  const year_month_day date(day);
  const hh_mm_ss clock(second - day);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return text;
}

JsonObject& AddRunFields(JsonObject& json, const TRunRecord& record, const CliOptions& options) {
  return json.Add("version", KORVANE_VERSION)
      .Add("run_id", record.RunId)
      .Add("started", record.Started)
      .Add("station", options.Station)
      .Add("operator", options.Operator)
      .Add("batch", options.Batch);
}

}  // namespace korvane::cli
