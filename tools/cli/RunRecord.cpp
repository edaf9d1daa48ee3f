#include "cli/RunRecord.h"

#include <KorvaneVersion.h>

#include <cstdio>
#include <ctime>
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

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
#ifdef _WIN32
  gmtime_s(&parts, &now);
#else
  gmtime_r(&now, &parts);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
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
