#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "serial/CommBackend.h"
#include "serial/CommTypes.h"
#include "serial/OwnerThread.h"
#include "serial/UiLoop.h"

namespace korvane {

class TReadThread;
class TWriteThread;

// Raised by OpenPort when the driver's queues cannot be set up.
class ECommsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Owns one serial port. A reader and a writer thread do all port I/O while the
// port is open; they post notices to this component through the loop, and the
// component raises its events on the loop's thread, in posting order. Every
// member is called on the loop's thread.
class TComm : private INoticeTarget {
 public:
  explicit TComm(TUiLoop& loop);
  TComm(TUiLoop& loop, ICommBackend& backend);
  // Closes an open port first, so the workers never outlive the component.
  ~TComm() override;
  TComm(const TComm&) = delete;
  TComm& operator=(const TComm&) = delete;

  // The outcome is read through PortOpen and PortOpenError. Throws
  // ECommsError only when the driver's queues cannot be set up.
  void OpenPort();
  void ClosePort();
  // True when a private copy of the bytes is queued for the writer (not yet sent).
  bool SendData(const char* buffer, std::uint16_t length);
  // True when no write request is queued or being written.
  bool SendIdle() const { return sendIdle_; }

  bool PortOpen() const { return port_ != nullptr; }
  void SetPortOpen(bool open) { open ? OpenPort() : ClosePort(); }
  std::uint8_t CommPort() const { return commPort_; }
  void SetCommPort(std::uint8_t port);
  const std::string& PortOpenError() const { return portOpenError_; }
  // Empty while the open port holds the line settings as set (baud rate,
  // framing, flow control); a text when it refused them, the last time they
  // were applied.
  const std::string& LineSettingsError() const { return lineSettingsError_; }
  void SetPortOpenError(std::string text) { portOpenError_ = std::move(text); }
  const std::string& Output() const { return output_; }
  void SetOutput(std::string text);
  std::uint16_t InputLen() const { return inputLen_; }
  void SetInputLen(std::uint16_t length);
  std::uint16_t InBufferSize() const { return inBufferSize_; }
  void SetInBufferSize(std::uint16_t size);
  const std::string& CommName() const { return commName_; }
  void SetCommName(std::string name) { commName_ = std::move(name); }

  // Line settings: a changed value is applied at once to an open port.
  std::uint32_t BaudRate() const { return baudRate_; }
  void SetBaudRate(std::uint32_t v) { SetState(baudRate_, v); }
  bool ParityCheck() const { return parityCheck_; }
  void SetParityCheck(bool v) { SetState(parityCheck_, v); }
  bool Outx_CtsFlow() const { return outxCtsFlow_; }
  void SetOutx_CtsFlow(bool v) { SetState(outxCtsFlow_, v); }
  bool Outx_DsrFlow() const { return outxDsrFlow_; }
  void SetOutx_DsrFlow(bool v) { SetState(outxDsrFlow_, v); }
  TDtrControl DtrControl() const { return dtrControl_; }
  void SetDtrControl(TDtrControl v) { SetState(dtrControl_, v); }
  bool DsrSensitivity() const { return dsrSensitivity_; }
  void SetDsrSensitivity(bool v) { SetState(dsrSensitivity_, v); }
  bool TxContinueOnXoff() const { return txContinueOnXoff_; }
  void SetTxContinueOnXoff(bool v) { SetState(txContinueOnXoff_, v); }
  bool Outx_XonXoffFlow() const { return outxXonXoffFlow_; }
  void SetOutx_XonXoffFlow(bool v) { SetState(outxXonXoffFlow_, v); }
  bool Inx_XonXoffFlow() const { return inxXonXoffFlow_; }
  void SetInx_XonXoffFlow(bool v) { SetState(inxXonXoffFlow_, v); }
  bool ReplaceWhenParityError() const { return replaceWhenParityError_; }
  void SetReplaceWhenParityError(bool v) { SetState(replaceWhenParityError_, v); }
  bool IgnoreNullChar() const { return ignoreNullChar_; }
  void SetIgnoreNullChar(bool v) { SetState(ignoreNullChar_, v); }
  TRtsControl RtsControl() const { return rtsControl_; }
  void SetRtsControl(TRtsControl v) { SetState(rtsControl_, v); }
  std::uint16_t XonLimit() const { return xonLimit_; }
  void SetXonLimit(std::uint16_t v) { SetState(xonLimit_, v); }
  std::uint16_t XoffLimit() const { return xoffLimit_; }
  void SetXoffLimit(std::uint16_t v) { SetState(xoffLimit_, v); }
  TByteSize ByteSize() const { return byteSize_; }
  void SetByteSize(TByteSize v) { SetState(byteSize_, v); }
  TParity Parity() const { return parity_; }
  void SetParity(TParity v) { SetState(parity_, v); }
  TStopBits StopBits() const { return stopBits_; }
  void SetStopBits(TStopBits v) { SetState(stopBits_, v); }
  char XonChar() const { return xonChar_; }
  void SetXonChar(char v) { SetState(xonChar_, v); }
  char XoffChar() const { return xoffChar_; }
  void SetXoffChar(char v) { SetState(xoffChar_, v); }
  char ReplacedChar() const { return replacedChar_; }
  void SetReplacedChar(char v) { SetState(replacedChar_, v); }

  // Timeouts in milliseconds: a changed value is applied at once to an open port.
  std::uint32_t ReadIntervalTimeout() const { return timeouts_.ReadIntervalTimeout; }
  void SetReadIntervalTimeout(std::uint32_t v) { SetTimeout(timeouts_.ReadIntervalTimeout, v); }
  std::uint32_t ReadTotalTimeoutMultiplier() const { return timeouts_.ReadTotalTimeoutMultiplier; }
  void SetReadTotalTimeoutMultiplier(std::uint32_t v) {
    SetTimeout(timeouts_.ReadTotalTimeoutMultiplier, v);
  }
  std::uint32_t ReadTotalTimeoutConstant() const { return timeouts_.ReadTotalTimeoutConstant; }
  void SetReadTotalTimeoutConstant(std::uint32_t v) {
    SetTimeout(timeouts_.ReadTotalTimeoutConstant, v);
  }
  std::uint32_t WriteTotalTimeoutMultiplier() const {
    return timeouts_.WriteTotalTimeoutMultiplier;
  }
  void SetWriteTotalTimeoutMultiplier(std::uint32_t v) {
    SetTimeout(timeouts_.WriteTotalTimeoutMultiplier, v);
  }
  std::uint32_t WriteTotalTimeoutConstant() const { return timeouts_.WriteTotalTimeoutConstant; }
  void SetWriteTotalTimeoutConstant(std::uint32_t v) {
    SetTimeout(timeouts_.WriteTotalTimeoutConstant, v);
  }

  // Events, raised on the loop's thread; an empty one is skipped. The buffer
  // of OnReceiveData is valid during the call only and may hold zero bytes.
  std::function<void(TComm& sender, const char* buffer, std::uint16_t length)> OnReceiveData;
  std::function<void(TComm& sender, std::uint32_t eventMask)> OnReceiveError;
  std::function<void(TComm& sender, std::uint32_t modemEvent)> OnModemStateChange;
  std::function<void(TComm& sender)> OnRequestHangup;
  std::function<void(TComm& sender)> OnSendDataEmpty;

 private:
  void HandleNotice(TNotice& notice) override;
  void ApplyCommState();
  void ApplyCommTimeouts();
  // Undoes a failed open: stops what was started and releases the port.
  void AbandonOpen(std::string error);
  void StopReader();
  void StopWriter();

  template <typename T>
  void SetState(T& field, T value) {
    owner_.Check();
    if (field != value) {
      field = value;
      if (PortOpen()) {
        ApplyCommState();
      }
    }
  }
  void SetTimeout(std::uint32_t& field, std::uint32_t value) {
    owner_.Check();
    if (field != value) {
      field = value;
      if (PortOpen()) {
        ApplyCommTimeouts();
      }
    }
  }

  TOwnerThread owner_;  // the loop's thread, which creates the component
  TUiLoop& loop_;
  ICommBackend& backend_;
  TUiLoop::TargetId notifyTarget_;

  std::unique_ptr<ICommPort> port_;  // the open port; empty while closed
  std::unique_ptr<ICommEvent> stopEvent_;
  std::unique_ptr<TReadThread> readThread_;
  std::unique_ptr<TWriteThread> writeThread_;
  std::atomic<bool> sendIdle_{true};

  std::uint8_t commPort_ = 1;
  std::string portOpenError_;
  std::string lineSettingsError_;
  std::string output_;
  std::uint16_t inBufferSize_ = 2048;
  std::uint16_t inputLen_ = 1;
  std::string commName_ = "COM1";
  std::uint32_t baudRate_ = 9600;
  bool parityCheck_ = false;
  bool outxCtsFlow_ = false;
  bool outxDsrFlow_ = false;
  TDtrControl dtrControl_ = TDtrControl::DtrDisable;
  bool dsrSensitivity_ = false;
  bool txContinueOnXoff_ = false;
  bool outxXonXoffFlow_ = false;
  bool inxXonXoffFlow_ = false;
  bool replaceWhenParityError_ = false;
  bool ignoreNullChar_ = false;
  TRtsControl rtsControl_ = TRtsControl::RtsDisable;
  std::uint16_t xonLimit_ = 500;
  std::uint16_t xoffLimit_ = 500;
  TByteSize byteSize_ = TByteSize::_8;
  TParity parity_ = TParity::None;
  TStopBits stopBits_ = TStopBits::_1;
  char xonChar_ = 0x11;
  char xoffChar_ = 0x13;
  char replacedChar_ = 0x00;
  TCommTimeouts timeouts_{100, 0, 0, 0, 0};
};

}  // namespace korvane
