#pragma once

#include <cstdint>
#include <string>

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

// How the operations talk to the operator. Texts are UTF-8.
class IOperator {
 public:
  virtual ~IOperator() = default;
  // Modal message, OK only, no icon.
  virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
  // Modal OK/Cancel question; true only for OK.
  virtual bool Confirm(const std::string& text, const std::string& caption) = 0;
  virtual void CreateProgress(int minimum, int maximum, int step) = 0;
  virtual void StepProgress() = 0;
  virtual void DestroyProgress() = 0;
};

}  // namespace korvane
