#include "ui/CommPort.h"

namespace korvane {

TCommPort::TCommPort(TUiLoop& loop) : comm_(loop) {
  comm_.SetCommName("COM1");  // replaced before every open
  comm_.SetXonLimit(500);
  comm_.SetXoffLimit(500);
  comm_.SetByteSize(TByteSize::_8);
  comm_.SetParity(TParity::None);
  comm_.SetStopBits(TStopBits::_1);
  comm_.SetXonChar(0x11);
  comm_.SetXoffChar(0x13);
  comm_.SetReplacedChar(0x00);
  comm_.SetReadIntervalTimeout(100);
  comm_.SetReadTotalTimeoutMultiplier(0);
  comm_.SetReadTotalTimeoutConstant(0);
  comm_.SetWriteTotalTimeoutMultiplier(0);
  comm_.SetWriteTotalTimeoutConstant(0);
  comm_.OnReceiveData = [this](TComm&, const char* buffer, std::uint16_t length) {
    if (receive_) {
      receive_(buffer, length);
    }
  };
}

}  // namespace korvane
