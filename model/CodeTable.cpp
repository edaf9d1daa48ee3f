#include "model/CodeTable.h"

#include <stdexcept>

namespace korvane {
namespace {

std::size_t ButtonIndex(int button) {
  if (button < 1 || button > kButtonCount) {
    throw std::out_of_range("button number out of range: " + std::to_string(button));
  }
  return static_cast<std::size_t>(button - 1);
}

std::size_t SlotIndex(int slot) {
  if (slot < 1 || slot > kSlotCount) {
    throw std::out_of_range("slot number out of range: " + std::to_string(slot));
  }
  return static_cast<std::size_t>(slot - 1);
}

}  // namespace

const std::string& CodeTable::Text(int button, int slot) const {
  return buttons_[ButtonIndex(button)].Slots[SlotIndex(slot)];
}

void CodeTable::SetText(int button, int slot, std::string text) {
  buttons_[ButtonIndex(button)].Slots[SlotIndex(slot)] = std::move(text);
}

void CodeTable::Clear() {
  for (auto& codes : buttons_) {
    for (auto& text : codes.Slots) {
      text.clear();
    }
  }
}

ButtonCodes& CodeTable::Button(int button) {
  return buttons_[ButtonIndex(button)];
}

const ButtonCodes& CodeTable::Button(int button) const {
  return buttons_[ButtonIndex(button)];
}

bool IsDownSlot(int slot) {
  return SlotIndex(slot) < 4;
}

int CodeNumberInGroup(int slot) {
  return static_cast<int>(SlotIndex(slot) % 4) + 1;
}

std::string SlotKey(int slot) {
  return std::string(IsDownSlot(slot) ? "ButtonDownSend" : "ButtonUpSend") +
         std::to_string(CodeNumberInGroup(slot));
}

}  // namespace korvane
