#pragma once

#include <array>
#include <string>
#include <string_view>

namespace korvane {

inline constexpr int kButtonCount = 4;
inline constexpr int kSlotCount = 8;  // DownSend 1-4, then UpSend 1-4
inline constexpr int kMaxCodeChars = 126;

// The eight code texts of one button, in slot order: DownSend 1-4, UpSend 1-4.
// Texts are 8-bit byte strings kept exactly as given (any length, any bytes).
struct ButtonCodes {
  std::array<std::string, kSlotCount> Slots;

  std::string& DownSend(int n) { return Slots.at(static_cast<std::size_t>(n - 1)); }
  std::string& UpSend(int n) { return Slots.at(static_cast<std::size_t>(n) + 3); }
  const std::string& DownSend(int n) const { return Slots.at(static_cast<std::size_t>(n - 1)); }
  const std::string& UpSend(int n) const { return Slots.at(static_cast<std::size_t>(n) + 3); }

  bool operator==(const ButtonCodes&) const = default;
};

// The whole working model: four buttons of eight code texts each.
// Buttons are numbered 1-4 and slots 1-8; other numbers throw std::out_of_range.
class CodeTable {
 public:
  const std::string& Text(int button, int slot) const;
  void SetText(int button, int slot, std::string text);
  void Clear();

  ButtonCodes& Button(int button);
  const ButtonCodes& Button(int button) const;

  bool operator==(const CodeTable&) const = default;

 private:
  std::array<ButtonCodes, kButtonCount> buttons_;
};

// True for slots 1-4 (press codes), false for 5-8 (release codes).
bool IsDownSlot(int slot);
// Number of the code within its group, 1-4.
int CodeNumberInGroup(int slot);
// "ButtonDownSend1" ... "ButtonUpSend4": the key of a slot in code set files.
std::string SlotKey(int slot);

}  // namespace korvane
