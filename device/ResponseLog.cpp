#include "device/ResponseLog.h"

#include "model/HexCodec.h"

namespace korvane {

void TResponseLog::Append(const char* buffer, std::size_t length) {
  text_ += BytesToHex(std::string_view(buffer, length));
}

}  // namespace korvane
