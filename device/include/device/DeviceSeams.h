#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Texts.h"

namespace korvane {

// What device programming and read-back need of the serial port.
class IDevicePort {
 public:
  virtual ~IDevicePort() = default;
  virtual bool PortOpen() const = 0;
  // Queues the bytes for sending, like assigning the component's Output.
  virtual void SetOutput(const std::string& bytes) = 0;
  // Queues `length` bytes; false when they could not be queued.
  virtual bool SendData(const char* buffer, std::uint16_t length) = 0;
};

// A message of the device operations: a catalogue text and its details.
// kOverlongCodes holds button, slot and length of each code in turn;
// kFileFault the cause in English (the file and the system's words), when
// known.
struct TDeviceText {
  TextId Id = TextId::kNone;
  std::vector<std::string> Args;
};

// The words of a device operation's message in `language`: the over-long
// codes one line each below the text, a file fault's cause on a line of its
// own.
std::string DeviceWords(const TDeviceText& text, Language language);

// How the operations talk to the operator; each front end words the texts in
// its own language (DeviceWords).
class IOperator {
 public:
  virtual ~IOperator() = default;
  // Modal message, OK only, no icon.
  virtual void ShowMessage(const TDeviceText& text, TextId caption) = 0;
  // Modal OK/Cancel question; true only for OK.
  virtual bool Confirm(const TDeviceText& text, TextId caption) = 0;
  virtual void CreateProgress(int minimum, int maximum, int step) = 0;
  virtual void StepProgress() = 0;
  virtual void DestroyProgress() = 0;
};

}  // namespace korvane
