#include "sim/SimOptions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "device/ConfigImage.h"

namespace korvane {

namespace {

// Small enough for a pseudo-terminal's buffer to take a whole unpaced reply.
constexpr std::uint64_t kMaxReplyBytes = 8192;
constexpr std::uint64_t kMaxDelayMs = 60000;
constexpr std::uint64_t kMaxAttempt = 1000000;

TError UsageError(const std::string& message) {
  return TError(std::make_error_code(std::errc::invalid_argument), message);
}

TResult<std::uint64_t> ParseNumber(const std::string& option, const std::string& text,
                                   std::uint64_t low, std::uint64_t high) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
      value > high) {
    return UsageError(option + " wants a whole number from " + std::to_string(low) + " to " +
                      std::to_string(high) + ", not '" + text + "'");
  }
  return value;
}

TStatus ParseAckBlockFrom(const std::string& text, DeviceOptions& device) {
  const auto colon = text.find(':');
  if (colon == std::string::npos) {
    return UsageError("--ack-block-from wants BLOCK:ATTEMPT (e.g. 2:3), not '" + text + "'");
  }
  const auto block =
      ParseNumber("--ack-block-from BLOCK", text.substr(0, colon), 0, kBlockCount - 1);
  if (!block) {
    return block.Error();
  }
  const auto attempt =
      ParseNumber("--ack-block-from ATTEMPT", text.substr(colon + 1), 1, kMaxAttempt);
  if (!attempt) {
    return attempt.Error();
  }
  device.AckBlockFrom[block.Value()] = static_cast<int>(attempt.Value());
  return {};
}

// Stores the number `value` of `option` with `store`, or says why it is no such number.
template <class Store>
TStatus ApplyNumber(const std::string& option, const std::string& value, std::uint64_t low,
                    std::uint64_t high, Store store) {
  const TResult<std::uint64_t> number = ParseNumber(option, value, low, high);
  if (!number) {
    return number.Error();
  }
  store(number.Value());
  return {};
}

// Options that take a value (see TakesValue).
TStatus ApplyValueOption(const std::string& option, const std::string& value, SimOptions& options) {
  if (option == "--name") {
    if (value.empty()) {
      return UsageError("--name wants a non-empty name");
    }
    options.Name = value;
  } else if (option == "--image") {
    if (value.empty()) {
      return UsageError("--image wants a file name");
    }
    options.ImagePath = value;
  } else if (option == "--answer-request-from") {
    return ApplyNumber(option, value, 1, kMaxAttempt, [&](std::uint64_t n) {
      options.Device.AnswerRequestFrom = static_cast<int>(n);
    });
  } else if (option == "--ack-block-from") {
    return ParseAckBlockFrom(value, options.Device);
  } else if (option == "--read-reply-bytes") {
    return ApplyNumber(option, value, 0, kMaxReplyBytes,
                       [&](std::uint64_t n) { options.Device.ReadReplyBytes = n; });
  } else if (option == "--drop-after") {
    return ApplyNumber(option, value, 1, UINT64_MAX,
                       [&](std::uint64_t n) { options.DropAfter = n; });
  } else if (option == "--reply-delay") {
    return ApplyNumber(option, value, 0, kMaxDelayMs,
                       [&](std::uint64_t n) { options.ReplyDelay = std::chrono::milliseconds(n); });
  }
  return {};
}

// Options without a value; returns false for an unknown option.
bool ApplyFlag(const std::string& option, SimOptions& options) {
  if (option == "--no-pacing") {
    options.Pacing = false;
  } else if (option == "--silent") {
    options.Device.Silent = true;
  } else if (option == "--extra-byte") {
    options.Device.ExtraByte = true;
  } else if (option == "--echo") {
    options.Device.Echo = true;
  } else if (option == "--stall") {
    options.Stall = true;
  } else if (option == "--corrupt-image") {
    options.Device.CorruptImage = true;
  } else if (option == "-v" || option == "--verbose") {
    options.Verbose = true;
  } else if (option == "-h" || option == "--help") {
    options.Help = true;
  } else if (option == "-V" || option == "--version") {
    options.Version = true;
  } else {
    return false;
  }
  return true;
}

bool TakesValue(const std::string& option) {
  static const std::array<std::string_view, 7> kValueOptions = {"--name",
                                                                "--image",
                                                                "--answer-request-from",
                                                                "--ack-block-from",
                                                                "--read-reply-bytes",
                                                                "--drop-after",
                                                                "--reply-delay"};
  return std::find(kValueOptions.begin(), kValueOptions.end(), option) != kValueOptions.end();
}

}  // namespace

TResult<SimOptions> ParseSimOptions(const std::vector<std::string>& args) {
  SimOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string option = args[i];
    std::optional<std::string> value;
    if (const auto equals = option.find('=');
        option.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = option.substr(equals + 1);
      option.resize(equals);
    }
    if (TakesValue(option)) {
      if (!value) {
        if (i + 1 == args.size()) {
          return UsageError(option + " wants a value");
        }
        value = args[++i];
      }
      if (TStatus applied = ApplyValueOption(option, *value, options); !applied) {
        return applied.Error();
      }
    } else if (value || !ApplyFlag(option, options)) {
      return UsageError(value ? option + " takes no value" : "unknown argument '" + option + "'");
    }
  }
  return options;
}

std::string SimUsage() {
  return R"(Usage: korvane-sim [OPTION]...
A virtual KORVANE device on a pseudo-terminal. It publishes the terminal as a
port that the configuration tool lists, prints one line "NAME SLAVE-PATH" on
standard output, and plays the device until interrupted (Ctrl-C or SIGTERM).

  --name NAME               publish the port as NAME (default: first free KSIM<n>)
  --image FILE              load the 2560-byte image from FILE (created with the
                            default image when missing) and save every new image
                            there; without it the image lives in memory and
                            starts all zero with baud index 1
  --no-pacing               answer at full speed instead of 9600-baud line timing
  -v, --verbose             log the exchanges on standard error

Misbehaviours, for testing the tool:
  --silent                  never answer (an --echo still echoes)
  --extra-byte              send one extra byte (0x0A) after every answer
  --echo                    send every received byte straight back
  --answer-request-from N   answer a programming request only at the N-th one
                            since the last answered one
  --ack-block-from K:N      acknowledge block K (0-4) only from its N-th sending;
                            may be given for several blocks
  --read-reply-bytes N      reply to a read with N bytes (0 to 8192) instead of
                            3072: cut, or padded with 0xA5
  --drop-after N            hang up the line after N received bytes, without
                            answering them, and exit
  --reply-delay MS          send everything, answers and echo, MS milliseconds
                            after the bytes that caused it
  --stall                   never read what the tool sends, so the tool's writes
                            stall once the line's buffer is full
  --corrupt-image           acknowledge every block but hold an image whose
                            byte 0 has its lowest bit flipped
  -h, --help                show this help and exit
  -V, --version             show the version and exit

Protocol: idle, the device watches the last 8 bytes for the programming request
(C7EBC7F3B1E0B3CC) or the read request (B6C1C8A1C7EBC7F3) and ignores anything
else. After accepting programming every byte is block data; a block unfinished
after 300 ms of silence is discarded and expected again, and 2 s of silence ends
the transfer. A read is answered with a 512-byte lead of 0xA5 and the image.
)";
}

}  // namespace korvane
