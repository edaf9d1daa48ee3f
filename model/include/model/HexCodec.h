#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

// Conversions between hex text, byte strings and integers. Byte strings are
// std::string holding any byte values, 0x00 included. None of these fail:
// non-hex characters are skipped or count as 0, and HexToInt wraps at 32 bits.

// 0-15 for 0-9, A-F, a-f; 0 for every other character.
int HexDigitValue(char c);

bool IsHexDigit(char c);

// Every character takes a place (non-hex counts as 0); 32-bit wrapping sum.
std::int32_t HexToInt(std::string_view text);

// Two upper-case digits per byte, high half first.
std::string BytesToHex(std::string_view bytes);

// Pairs of hex digits become bytes; non-hex characters are skipped; a lone digit
// becomes a byte of its own and also consumes the character after it.
std::string HexToBytes(std::string_view text);

// Hex text of a value with at least two upper-case digits ("01", "3F", "FFFFFFFF").
std::string IntToHex2(std::int32_t value);

}  // namespace korvane
