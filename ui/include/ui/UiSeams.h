#pragma once

#include <QMessageBox>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/DeviceSeams.h"
#include "serial/PortList.h"

namespace korvane {

// The serial port as the main window uses it; the serial component is plugged
// in behind it.
class ISerialPort : public IDevicePort {
 public:
  using ReceiveHandler = std::function<void(const char* buffer, std::uint16_t length)>;

  // Name of the port the next OpenPort opens ("//./" + a listed name).
  virtual void SetCommName(const std::string& path) = 0;
  // Leaves the port closed when the device cannot be opened; may throw when
  // the driver's queues cannot be set up.
  virtual void OpenPort() = 0;
  // Does nothing on a closed port.
  virtual void ClosePort() = 0;
  // Received chunks, delivered on the user-interface thread.
  virtual void SetReceiveHandler(ReceiveHandler handler) = 0;
};

using PortListEntry = SerialPortEntry;

// The system's serial ports, in the system's order.
using PortLister = std::function<std::vector<PortListEntry>()>;

// Modal message boxes owned by the active window. Texts are shown as given.
struct TMessageBoxes {
  // OK only, no icon.
  std::function<void(const QString& text, const QString& caption)> Show;
  // OK and Cancel; true only for OK.
  std::function<bool(const QString& text, const QString& caption)> Confirm;
};

// Qt message boxes with the active window as owner.
TMessageBoxes QtMessageBoxes();

// Room a title bar needs beside the caption: window buttons and margins.
inline constexpr int kTitleBarButtonsRoom = 150;

// The width a message box needs for `caption` to show whole in its title bar.
int CaptionRoom(const QString& caption);

// A message box without icon, owned by the active window, at least as wide as
// its caption needs.
std::unique_ptr<QMessageBox> NewMessageBox(const QString& text, const QString& caption,
                                           QMessageBox::StandardButtons buttons);

enum class TFileDialogKind { Open, Save };

// The file name the operator chose, or empty when the dialog was cancelled.
using FileChooser = std::function<QString(TFileDialogKind kind)>;

}  // namespace korvane
