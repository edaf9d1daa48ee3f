#include "serial/Comm.h"

#include <cstring>
#include <new>
#include <system_error>

#include "serial/CommError.h"
#include "serial/ReadThread.h"
#include "serial/WriteThread.h"

namespace korvane {

namespace {
constexpr std::uint32_t kDriverQueueSize = 4096;
}

TComm::TComm(TUiLoop& loop) : TComm(loop, PlatformCommBackend()) {}

TComm::TComm(TUiLoop& loop, ICommBackend& backend)
    : loop_(loop), backend_(backend), notifyTarget_(loop.AddTarget(*this)) {}

TComm::~TComm() {
  owner_.Check();
  ClosePort();
  loop_.RemoveTarget(notifyTarget_);
}

void TComm::OpenPort() {
  owner_.Check();
  portOpenError_.clear();
  if (port_) {
    portOpenError_ = CommText(TextId::kPortAlreadyOpened);
    return;
  }
  TResult<std::unique_ptr<ICommPort>> opened = backend_.Open(commName_);
  if (!opened) {
    portOpenError_ = opened.Error().Code == TCommErrc::NotCommDevice
                         ? CommText(TextId::kPortNotCommHandle)
                         : CommText(TextId::kPortErrorOpening);
    return;
  }
  std::unique_ptr<ICommPort> port = std::move(opened).Value();
  if (!port->SetupQueues(kDriverQueueSize, kDriverQueueSize).Ok()) {
    portOpenError_ = CommText(TextId::kPortNoCommBuffer);
    throw ECommsError(portOpenError_);
  }
  port_ = std::move(port);
  // Only clears what an earlier user may have left; the port is usable without.
  Discard(port_->Purge(Purge::TxAbort | Purge::RxAbort | Purge::TxClear | Purge::RxClear));
  sendIdle_ = true;
  ApplyCommTimeouts();
  ApplyCommState();

  TResult<std::unique_ptr<ICommEvent>> stop = backend_.MakeEvent();
  if (!stop) {
    AbandonOpen(CommText(TextId::kPortNoStopEvent));
    return;
  }
  stopEvent_ = std::move(stop).Value();
  try {
    readThread_ = std::make_unique<TReadThread>(backend_, *port_, *stopEvent_, loop_, notifyTarget_,
                                                inBufferSize_, inputLen_);
  } catch (const std::exception&) {
    AbandonOpen(CommText(TextId::kPortNoReadThread));
    return;
  }
  try {
    writeThread_ = std::make_unique<TWriteThread>(backend_, *port_, *stopEvent_, loop_,
                                                  notifyTarget_, sendIdle_);
  } catch (const std::exception&) {
    AbandonOpen(CommText(TextId::kPortNoWriteThread));
    return;
  }
  try {
    readThread_->Start();
  } catch (const std::system_error&) {
    AbandonOpen(CommText(TextId::kPortNoReadThread));
    return;
  }
  try {
    writeThread_->Start();
  } catch (const std::system_error&) {
    AbandonOpen(CommText(TextId::kPortNoWriteThread));  // stops the reader that already runs
  }
}

void TComm::AbandonOpen(std::string error) {
  if (stopEvent_) {
    StopReader();
    StopWriter();
  }
  readThread_.reset();
  writeThread_.reset();
  stopEvent_.reset();
  port_.reset();
  sendIdle_ = true;
  portOpenError_ = std::move(error);
}

void TComm::ClosePort() {
  owner_.Check();
  portOpenError_.clear();
  if (!port_) {
    return;
  }
  StopReader();
  StopWriter();
  stopEvent_.reset();
  port_.reset();
}

void TComm::StopReader() {
  if (!readThread_) {
    return;
  }
  stopEvent_->Set();
  Discard(port_->Purge(Purge::RxAbort | Purge::RxClear));  // the stop event ends the wait anyway
  readThread_->Join();
  readThread_.reset();
}

void TComm::StopWriter() {
  if (!writeThread_) {
    return;
  }
  stopEvent_->Set();
  Discard(port_->Purge(Purge::TxAbort | Purge::TxClear));  // the stop event ends the wait anyway
  sendIdle_ = true;
  writeThread_->Join();
  writeThread_.reset();
}

bool TComm::SendData(const char* buffer, std::uint16_t length) {
  owner_.Check();
  if (!writeThread_ || length == 0 || buffer == nullptr) {
    return false;
  }
  std::unique_ptr<char[]> block(new (std::nothrow) char[length + 1]);
  if (!block) {
    return false;
  }
  std::memcpy(block.get(), buffer, length);
  block[length] = 0;
  // The writer marks the component busy together with queueing the request,
  // so the flag never reads idle while a request waits, nor busy after a
  // refused post.
  return writeThread_->Post(std::move(block), length);
}

void TComm::SetCommPort(std::uint8_t port) {
  owner_.Check();
  if (port != 0 && port != commPort_) {
    commPort_ = port;
    commName_ = "COM" + std::to_string(port);
  }
}

void TComm::SetOutput(std::string text) {
  owner_.Check();
  output_ = std::move(text);
  SendData(output_.data(), static_cast<std::uint16_t>(output_.size() & 0xFFFF));
}

void TComm::SetInputLen(std::uint16_t length) {
  owner_.Check();
  if (length == 0) {
    inputLen_ = inBufferSize_;
  } else if (length <= inBufferSize_) {
    inputLen_ = length;
  }
}

void TComm::SetInBufferSize(std::uint16_t size) {
  owner_.Check();
  inBufferSize_ = size == 0 ? 1 : size;
  if (inputLen_ > inBufferSize_) {
    inputLen_ = inBufferSize_;  // a read never asks for more than the buffer holds
  }
}

void TComm::ApplyCommState() {
  owner_.Check();
  TLineSettings settings;
  settings.BaudRate = baudRate_;
  std::uint32_t flags = LineFlag::Binary;
  flags |= parityCheck_ ? LineFlag::Parity : 0;
  flags |= outxCtsFlow_ ? LineFlag::OutxCtsFlow : 0;
  flags |= outxDsrFlow_ ? LineFlag::OutxDsrFlow : 0;
  flags |= dtrControl_ == TDtrControl::DtrEnable      ? LineFlag::DtrControlEnable
           : dtrControl_ == TDtrControl::DtrHandshake ? LineFlag::DtrControlHandshake
                                                      : 0;
  flags |= dsrSensitivity_ ? LineFlag::DsrSensitivity : 0;
  flags |= txContinueOnXoff_ ? LineFlag::TxContinueOnXoff : 0;
  flags |= outxXonXoffFlow_ ? LineFlag::OutX : 0;
  flags |= inxXonXoffFlow_ ? LineFlag::InX : 0;
  flags |= replaceWhenParityError_ ? LineFlag::ErrorChar : 0;
  flags |= ignoreNullChar_ ? LineFlag::Null : 0;
  switch (rtsControl_) {
    case TRtsControl::RtsEnable:
      flags |= LineFlag::RtsControlEnable;
      break;
    case TRtsControl::RtsHandshake:
      flags |= LineFlag::RtsControlHandshake;
      break;
    case TRtsControl::RtsTransmissionAvailable:
      flags |= LineFlag::RtsControlToggle;
      break;
    case TRtsControl::RtsDisable:
      break;
  }
  settings.Flags = flags;
  settings.XonLim = xonLimit_;
  settings.XoffLim = xoffLimit_;
  settings.ByteSize = static_cast<std::uint8_t>(static_cast<int>(byteSize_) + 5);
  settings.Parity = static_cast<std::uint8_t>(parity_);
  settings.StopBits = static_cast<std::uint8_t>(stopBits_);
  settings.XonChar = xonChar_;
  settings.XoffChar = xoffChar_;
  settings.ErrorChar = replacedChar_;
  // Not an open failure: the port works on with what it took, and callers
  // that care read LineSettingsError.
  const TStatus applied = port_->ApplyState(settings);
  lineSettingsError_ = applied ? "" : CommText(TextId::kPortLineSettingsRefused);
}

void TComm::ApplyCommTimeouts() {
  owner_.Check();
  // A refusal leaves the port's previous timeouts, which the reader copes
  // with; the component has no property to report it through.
  Discard(port_->ApplyTimeouts(timeouts_));
}

void TComm::HandleNotice(TNotice& notice) {
  owner_.Check();
  switch (notice.Msg) {
    case MSG_RX_DATA:
      if (OnReceiveData && notice.Block) {
        OnReceiveData(*this, notice.Block.get(), static_cast<std::uint16_t>(notice.WParam));
      }
      break;
    case MSG_RX_ERROR:
      if (OnReceiveError) {
        OnReceiveError(*this, notice.LParam);
      }
      break;
    case MSG_HANGUP:
      if (OnRequestHangup) {
        OnRequestHangup(*this);
      }
      break;
    case MSG_MODEM:
      if (OnModemStateChange) {
        OnModemStateChange(*this, notice.LParam);
      }
      break;
    case MSG_TX_EMPTY:
      if (OnSendDataEmpty) {
        OnSendDataEmpty(*this);
      }
      break;
    default:
      break;
  }
}

}  // namespace korvane
