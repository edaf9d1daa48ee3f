// Screenshots of the editor for the README: the main window, the code editor,
// message boxes with their title bars, and the LED drawn at twice the pixel
// density. Title bars belong to the window manager, so this runs on a real
// display with one (scripts/screenshots.sh starts Xvfb and openbox).
//
//   editor_screenshots FOLDER [en]

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "device/DeviceOperations.h"
#include "ui/CodeForm.h"
#include "ui/DeviceTexts.h"
#include "ui/FormStyle.h"
#include "ui/Language.h"
#include "ui/Led.h"
#include "ui/MainForm.h"

namespace {

using namespace korvane;

// A port that opens, so that the window shows its open state.
class TShownPort : public ISerialPort {
 public:
  bool PortOpen() const override { return open_; }
  void SetOutput(const std::string&) override {}
  bool SendData(const char*, std::uint16_t) override { return open_; }
  void SetCommName(const std::string&) override {}
  void OpenPort() override { open_ = true; }
  void ClosePort() override { open_ = false; }
  void SetReceiveHandler(ReceiveHandler) override {}

 private:
  bool open_ = false;
};

void Settle(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

// The window with its frame, as the screen shows it.
bool SaveFramed(QWidget& window, const QString& file) {
  Settle(1500);  // mapped, framed by the window manager and painted
  const QRect frame = window.frameGeometry();
  const QPixmap shot =
      window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  std::printf("%s %dx%d\n", qPrintable(file), shot.width(), shot.height());
  return shot.save(file);
}

// The lamp lit and dark, each drawn at two device pixels per pixel.
bool SaveLedAtTwice(const QString& file) {
  const qreal ratio = 2.0;
  QImage image(QSize(48, 20) * ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(QApplication::palette().color(QPalette::Button));
  QPainter painter(&image);
  for (const bool lit : {true, false}) {
    TiLedRound led;
    led.SetActive(lit);
    led.render(&painter, QPoint(lit ? 2 : 26, 0));
  }
  painter.end();
  return image.save(file);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: editor_screenshots FOLDER [en]\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  const bool english = argc > 2 && QString::fromLatin1(argv[2]) == QLatin1String("en");
  QApplication::setWindowIcon(ProductIcon());
  InstallTranslations(english ? Language::English : Language::Chinese);
  const QString suffix = english ? QStringLiteral("-en.png") : QStringLiteral(".png");
  QDir().mkpath(folder);

  TFormMainServices services;
  services.Comm = std::make_unique<TShownPort>();
  services.ListPorts = [] {
    return std::vector<PortListEntry>{{"KSIM1", "KSIM1"}, {"ttyUSB0", "/dev/ttyUSB0"}};
  };
  TFormMain window(std::move(services));
  TFormCode editor;
  FormCode = &editor;
  window.show();
  bool saved = SaveFramed(window, folder + "/main-window" + suffix);

  window.Codes().SetText(1, 1, "C7EBC7F3B1E0B3CC");
  window.Codes().SetText(1, 5, "0D0A");
  editor.SetButtonNumber(1);
  editor.setWindowTitle(TFormMain::tr("IO%1发送码编辑").arg(1));
  editor.show();
  saved = SaveFramed(editor, folder + "/code-editor" + suffix) && saved;
  editor.hide();

  const auto success =
      NewMessageBox(UiText(TextId::kReadSuccess), UiText(TextId::kCaptionDone), QMessageBox::Ok);
  success->show();
  saved = SaveFramed(*success, folder + "/message-box" + suffix) && saved;
  success->hide();

  if (!english) {
    const auto confirm =
        NewMessageBox(UiText(TextId::kReadConfirm), UiText(TextId::kCaptionWarning),
                      QMessageBox::Ok | QMessageBox::Cancel);
    confirm->show();
    saved = SaveFramed(*confirm, folder + "/message-box-confirm.png") && saved;
    confirm->hide();
    saved = SaveLedAtTwice(folder + "/led-2x.png") && saved;

    // The save dialog, as "保存" shows it; taken while it waits, then cancelled.
    QTimer::singleShot(0, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      saved = dialog != nullptr && SaveFramed(*dialog, folder + "/save-dialog.png") && saved;
      if (dialog != nullptr) {
        dialog->close();
      }
    });
    window.ChooseFile(TFileDialogKind::Save);
  }
  FormCode = nullptr;
  return saved ? 0 : 1;
}
