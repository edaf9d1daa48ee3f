#include "sim/ImageFile.h"

#include "device/ConfigImage.h"
#include "platform/FileBytes.h"

namespace korvane {

TResult<std::optional<std::string>> LoadImageFile(const std::string& path) {
  TResult<std::optional<std::string>> image = ReadFileBytes(path);
  if (image && image.Value() && image.Value()->size() != kImageSize) {
    return TError{{},
                  path + " holds " + std::to_string(image.Value()->size()) +
                      " bytes; a configuration image has exactly " + std::to_string(kImageSize)};
  }
  return image;
}

}  // namespace korvane
