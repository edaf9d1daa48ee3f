#pragma once

#include <cstdint>

namespace korvane {

// Line setting enumerations; the ordinals are the platform codes the port uses.
enum class TDtrControl : std::uint8_t { DtrEnable = 0, DtrDisable = 1, DtrHandshake = 2 };
enum class TRtsControl : std::uint8_t {
  RtsEnable = 0,
  RtsDisable = 1,
  RtsHandshake = 2,
  RtsTransmissionAvailable = 3,
};
enum class TByteSize : std::uint8_t { _5 = 0, _6 = 1, _7 = 2, _8 = 3 };  // data bits: ordinal + 5
enum class TParity : std::uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class TStopBits : std::uint8_t { _1 = 0, _1_5 = 1, _2 = 2 };

// Flags word of the line settings record.
namespace LineFlag {
inline constexpr std::uint32_t Binary = 0x0001;
inline constexpr std::uint32_t Parity = 0x0002;
inline constexpr std::uint32_t OutxCtsFlow = 0x0004;
inline constexpr std::uint32_t OutxDsrFlow = 0x0008;
inline constexpr std::uint32_t DtrControlEnable = 0x0010;
inline constexpr std::uint32_t DtrControlHandshake = 0x0020;
inline constexpr std::uint32_t DtrControlMask = 0x0030;
inline constexpr std::uint32_t DsrSensitivity = 0x0040;
inline constexpr std::uint32_t TxContinueOnXoff = 0x0080;
inline constexpr std::uint32_t OutX = 0x0100;
inline constexpr std::uint32_t InX = 0x0200;
inline constexpr std::uint32_t ErrorChar = 0x0400;
inline constexpr std::uint32_t Null = 0x0800;
inline constexpr std::uint32_t RtsControlEnable = 0x1000;
inline constexpr std::uint32_t RtsControlHandshake = 0x2000;
inline constexpr std::uint32_t RtsControlToggle = 0x3000;
inline constexpr std::uint32_t RtsControlMask = 0x3000;
}  // namespace LineFlag

// Line settings record, handed whole to the platform backend.
struct TLineSettings {
  std::uint32_t BaudRate = 9600;
  std::uint32_t Flags = LineFlag::Binary;
  std::uint16_t XonLim = 0;
  std::uint16_t XoffLim = 0;
  std::uint8_t ByteSize = 8;  // data bits
  std::uint8_t Parity = 0;    // TParity ordinal
  std::uint8_t StopBits = 0;  // TStopBits ordinal
  char XonChar = 0x11;
  char XoffChar = 0x13;
  char ErrorChar = 0;
};

// Timeouts in milliseconds; 0 in both total parts means no total timeout.
struct TCommTimeouts {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;
};

// Line error word bits, as the platform reports them for the port and
// MSG_RX_ERROR passes them on unchanged.
namespace LineError {
inline constexpr std::uint32_t RxOver = 0x0001;
inline constexpr std::uint32_t Overrun = 0x0002;
inline constexpr std::uint32_t RxParity = 0x0004;
inline constexpr std::uint32_t Frame = 0x0008;
inline constexpr std::uint32_t Break = 0x0010;
}  // namespace LineError

// Comm event mask bits; the reader watches these three.
namespace CommEvent {
inline constexpr std::uint32_t Carrier = 0x0020;
inline constexpr std::uint32_t Error = 0x0080;
inline constexpr std::uint32_t Ring = 0x0100;
}  // namespace CommEvent

// Modem event bits (MSG_MODEM).
inline constexpr std::uint32_t MODEM_RING = 4;
inline constexpr std::uint32_t MODEM_RLSD = 8;

// Purge flags: abort the pending operation, discard the driver's queue.
namespace Purge {
inline constexpr std::uint32_t TxAbort = 0x01;
inline constexpr std::uint32_t RxAbort = 0x02;
inline constexpr std::uint32_t TxClear = 0x04;
inline constexpr std::uint32_t RxClear = 0x08;
}  // namespace Purge

}  // namespace korvane
