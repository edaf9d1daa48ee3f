#include "cli/Json.h"

namespace korvane::cli {

std::string JsonText(const Json& value) {
  // Texts stay readable (no \u escapes for Chinese); invalid bytes never throw.
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string JsonQuote(std::string_view text) {
  return JsonText(Json(text));
}

}  // namespace korvane::cli
