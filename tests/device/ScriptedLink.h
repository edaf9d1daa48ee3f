#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "device/DeviceSeams.h"
#include "device/ResponseLog.h"
#include "serial/UiLoop.h"

namespace korvane::test {

// A serial link to a scripted device on a virtual clock. What the operation
// sends goes to `Device`, whose reply arrives `ReplyDelayMs` later, one byte per
// receive event, while the operation waits in WaitPumping.
class ScriptedLink : public IDevicePort, public TUiLoop {
 public:
  struct WireEvent {
    std::uint64_t TimeMs;
    bool ToDevice;
    std::string Bytes;
  };

  explicit ScriptedLink(TResponseLog& log) : log_(log) {}

  bool Open = true;
  std::uint32_t ReplyDelayMs = 30;
  std::function<std::string(const std::string& received)> Device;
  std::function<void()> DuringWait;  // runs inside every wait, like other events
  std::vector<WireEvent> Wire;
  std::uint64_t NowMs = 0;

  bool PortOpen() const override { return Open; }
  void SetOutput(const std::string& bytes) override { Transmit(bytes); }
  bool SendData(const char* buffer, std::uint16_t length) override {
    if (!Open || length == 0) {
      return false;
    }
    Transmit(std::string(buffer, length));
    return true;
  }

  TargetId AddTarget(INoticeTarget&) override { return 1; }
  void RemoveTarget(TargetId) override {}
  bool Post(TargetId, TNotice&&) override { return false; }
  void WaitPumping(std::uint32_t milliseconds) override {
    const std::uint64_t end = NowMs + milliseconds;
    while (!pending_.empty() && pending_.begin()->first <= end) {
      auto due = pending_.begin();
      NowMs = due->first;
      for (char byte : due->second) {
        log_.Append(&byte, 1);
      }
      Wire.push_back({NowMs, false, due->second});
      pending_.erase(due);
    }
    if (milliseconds > 0 && DuringWait) {
      DuringWait();
    }
    NowMs = end;
  }

  std::vector<std::string> SentToDevice() const {
    std::vector<std::string> sent;
    for (const auto& event : Wire) {
      if (event.ToDevice) {
        sent.push_back(event.Bytes);
      }
    }
    return sent;
  }

 private:
  void Transmit(const std::string& bytes) {
    if (!Open || bytes.empty()) {
      return;
    }
    Wire.push_back({NowMs, true, bytes});
    if (!Device) {
      return;
    }
    std::string reply = Device(bytes);
    if (!reply.empty()) {
      pending_.emplace(NowMs + ReplyDelayMs, std::move(reply));
    }
  }

  TResponseLog& log_;
  std::multimap<std::uint64_t, std::string> pending_;
};

// Records what an operation shows; answers confirmations with `ConfirmAnswer`.
class RecordingOperator : public IOperator {
 public:
  struct Message {
    std::string Text;
    std::string Caption;
  };

  bool ConfirmAnswer = true;
  std::vector<Message> Messages;
  std::vector<std::string> Confirmations;
  std::vector<std::string> Progress;  // "create 0 36 1", "step", "destroy"
  std::vector<std::string> Order;     // "message" and "destroy", as they happen

  // The texts as the editor shows them, in Chinese.
  void ShowMessage(const TDeviceText& text, TextId caption) override {
    Messages.push_back({DeviceWords(text, Language::Chinese), Text(caption, Language::Chinese)});
    Order.push_back("message");
  }
  bool Confirm(const TDeviceText& text, TextId caption) override {
    Confirmations.push_back(Text(caption, Language::Chinese) + ": " +
                            DeviceWords(text, Language::Chinese));
    return ConfirmAnswer;
  }
  void CreateProgress(int minimum, int maximum, int step) override {
    Progress.push_back("create " + std::to_string(minimum) + " " + std::to_string(maximum) + " " +
                       std::to_string(step));
  }
  void StepProgress() override { Progress.push_back("step"); }
  void DestroyProgress() override {
    Progress.push_back("destroy");
    Order.push_back("destroy");
  }

  int Steps() const {
    int steps = 0;
    for (const auto& entry : Progress) {
      steps += entry == "step" ? 1 : 0;
    }
    return steps;
  }
};

}  // namespace korvane::test
