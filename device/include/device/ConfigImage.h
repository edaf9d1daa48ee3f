#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/CodeTable.h"
#include "platform/FileIo.h"
#include "platform/Result.h"
#include "platform/UniqueHandle.h"

namespace korvane {

inline constexpr std::uint32_t kImageSize = 2560;
inline constexpr std::uint32_t kBlockSize = 512;
inline constexpr int kBlockCount = 5;
inline constexpr std::uint32_t kAreaSize = 64;
inline constexpr std::uint32_t kMaxCodeBytes = kAreaSize - 1;
inline constexpr std::uint32_t kBaudOffset = 2048;

// `directory` (ending in a separator) + "Configuration.bin".
std::string ConfigFilePathIn(const std::string& directory);

// Offset of the code area of button b (1-4), slot s (1-8).
std::uint32_t AreaOffset(int button, int slot);

// Length byte value for a code text: its character count halved, rounded up.
std::uint32_t CodeLengthFromText(std::string_view text);

// Whether `bytes` is a write that the image takes: not empty and ending
// within its 2560 bytes.
bool FitsImage(std::string_view bytes, std::uint32_t offset);

// The image file of one programming, open from its build to its last block.
// It is made anew after the delete step, never through a link at its name,
// and read back through the same descriptor: a name swapped for a link while
// it is in use changes nothing that is written or sent.
class TImageFile {
 public:
#ifdef _WIN32
  using TFileOwner = UniqueHandle;
#else
  using TFileOwner = UniqueFd;
#endif

  // Creates the file exclusively; a regular file that the delete step could
  // not remove is opened as it is. A link (on Windows a reparse point), a
  // file of another kind or one with other names (hard links) is refused.
  [[nodiscard]] static TResult<TImageFile> Open(const std::string& path);

  const std::string& Path() const {
    return path_;
  }
  TNativeFile Native() const {
    return file_.Get();
  }

 private:
  TImageFile(std::string path, TFileOwner file) : path_(std::move(path)), file_(std::move(file)) {}
  std::string path_;
  TFileOwner file_;
};

// Sizes the image file to 2560 bytes with zero fill and writes `bytes` at
// `offset`. An empty byte string or a write that would end past the image
// writes nothing and fails (invalid_argument). A failure of the file system
// says why in English, for example "cannot write /x/Configuration.bin: No
// space left on device".
[[nodiscard]] TStatus WriteImageBytes(const TImageFile& file, std::string_view bytes,
                                      std::uint32_t offset);

// Removes the image file (a link at its name, not what it points to); a file
// that is absent or cannot be removed is ignored.
void DeleteImageFile(const std::string& path);

// The 2560 bytes that BuildImage lays out for the table and baud index.
std::string ComposeImage(const CodeTable& table, int baudIndex);

// Opens the image file (see TImageFile::Open), zeroes it, then writes the 32
// code areas and the baud byte into it, calling `onStep` after each code area.
// Never writes outside an area: a code longer than an area holds is cut to 63
// bytes and its length byte to 63 (programming refuses such codes before it
// gets here; see FindOverlongCodes). Gives the open file only when every
// write succeeded and the file, read back, holds exactly ComposeImage(table,
// baudIndex); otherwise an error: a full disk, an old file that could be
// neither removed nor written, a link at the name or a short write fail with
// the reason in English.
[[nodiscard]] TResult<TImageFile> BuildImage(const CodeTable& table, int baudIndex,
                                             const std::string& path,
                                             const std::function<void()>& onStep);

// Bytes 512*k .. 512*k+511 of the image file, read anew; an error with the
// reason (English) when the file cannot be read or is too short.
[[nodiscard]] TResult<std::string> ReadImageBlock(const TImageFile& file, int block);

// Block k of the image file, read anew and compared with block k of `image`
// (the image built); an error with the reason when it cannot be read or
// differs.
[[nodiscard]] TResult<std::string> ReadCheckedImageBlock(const TImageFile& file, int block,
                                                         const std::string& image);

// The whole image file, at most one byte more than an image so that a longer
// file shows; an error with the reason when it cannot be read.
[[nodiscard]] TResult<std::string> ReadImageFile(const TImageFile& file);

// Keeps other programs from building or sending the same image file at the
// same time: an advisory lock on "<image path>.lock", held while it lives.
class TImageFileLock {
 public:
  using TFileOwner = TImageFile::TFileOwner;

  // A holder, or nullptr when another program holds the lock. A link (or a
  // reparse point, or anything but a regular file) at the lock's name is an
  // error: it is never followed. When no lock file can be made otherwise (an
  // unwritable folder), an unlocked holder is returned: the image cannot be
  // built there either, and that failure is reported where it happens.
  static TResult<std::unique_ptr<TImageFileLock>> TryAcquire(const std::string& imagePath);

 private:
  explicit TImageFileLock(TFileOwner file) : file_(std::move(file)) {}
  TFileOwner file_;  // the lock file, held open while locked; none when unlocked
};

struct OverlongCode {
  int Button = 0;          // 1-4
  int Slot = 0;            // 1-8
  std::size_t Length = 0;  // characters
};

// Every slot whose text is longer than 126 characters, in slot order.
std::vector<OverlongCode> FindOverlongCodes(const CodeTable& table);

}  // namespace korvane
