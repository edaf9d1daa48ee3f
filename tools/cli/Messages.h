#pragma once

#include <string>

#include "cli/CliOptions.h"
#include "model/CodeTable.h"

namespace korvane::cli {

// The over-long codes of `table`, in the chosen language. Codes that reached
// the table cut to the longest value a code set file lookup gives are
// reported with their length in the file at `codeSetPath` (when given).
std::string OverlongText(const CodeTable& table, Language language,
                         const std::string& codeSetPath = {});

// What the port sent during the last examined programming request (hex
// text), in words: nothing, an echo of the request, the answer with extra
// bytes, or other bytes.
std::string HandshakeReplyText(const std::string& replyHex, Language language);

// The areas of a read-back reply whose length byte is over 63, named as
// "IO<b> <key> (length <n>)", separated by ", "; empty when there are none.
std::string OverlongAreasText(const std::string& replyHex, Language language);

}  // namespace korvane::cli
