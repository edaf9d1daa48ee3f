// The hex text codec takes hex typed by the operator and read from files.
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/HexCodec.h"
#include "tests/fuzz/FuzzCheck.h"

using korvane::test::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  const std::string hex = korvane::BytesToHex(input);
  Check(hex.size() == 2 * size && korvane::test::IsUpperHex(hex), "two upper-case digits a byte");
  Check(korvane::HexToBytes(hex) == input, "bytes survive the way through hex");

  const std::string bytes = korvane::HexToBytes(input);
  Check(bytes.size() <= (size + 1) / 2, "no more bytes than digit pairs");

  const std::int32_t value = korvane::HexToInt(input);
  const std::string digits = korvane::IntToHex2(value);
  Check(digits.size() >= 2 && korvane::test::IsUpperHex(digits.size() % 2 ? "0" + digits : digits),
        "IntToHex2 gives upper-case digits");
  Check(korvane::HexToInt(digits) == value, "a value survives IntToHex2");
  return 0;
}
