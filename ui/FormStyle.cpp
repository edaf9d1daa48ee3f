#include "ui/FormStyle.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace korvane {

QPoint CentredTopLeft(QSize screen, QSize outer) {
  return {(screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2};
}

void CentreOnScreen(QWidget& window) {
  QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    return;
  }
  const QRect area = screen->geometry();
  window.move(area.topLeft() + CentredTopLeft(area.size(), window.frameGeometry().size()));
}

namespace {

// Watches one window: after each showing, the first activation, move or
// resize that finds the frame in place centres the window again. The frame
// extents may also arrive without any event: a few later looks cover that.
class TFrameCentring : public QObject {
 public:
  explicit TFrameCentring(QWidget& window) : QObject(&window), window_(window) {
    window.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &window_) {
      return false;
    }
    switch (event->type()) {
      case QEvent::Show:
        pending_ = !Framed();
        for (const int ms : kLateLooksMs) {
          if (pending_) {
            QTimer::singleShot(ms, this, [this] { CentreIfFramed(); });
          }
        }
        break;
      case QEvent::Hide:
        pending_ = false;
        break;
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::WindowActivate:
        CentreIfFramed();
        break;
      default:
        break;
    }
    return false;
  }

 private:
  static constexpr int kLateLooksMs[] = {100, 400, 1000, 2000};

  // While the window manager reparents the window, the frame can read as
  // nonsense (1 x 1): only a frame around the client counts.
  bool Framed() const {
    const QRect frame = window_.frameGeometry();
    return frame != window_.geometry() && frame.contains(window_.geometry());
  }

  void CentreIfFramed() {
    if (pending_ && window_.isVisible() && Framed()) {
      pending_ = false;
      CentreOnScreen(window_);
    }
  }

  QWidget& window_;
  bool pending_ = false;
};

}  // namespace

void RecentreWhenFramed(QWidget& window) {
  new TFrameCentring(window);
}

QFont FormFont(int pixelSize, bool bold) {
  QFont font = QApplication::font();
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

QIcon ProductIcon() {
  return QIcon(QStringLiteral(":/icons/korvane.svg"));
}

void ApplyFormStyle(QWidget& form) {
  QPalette palette = form.palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Button));
  form.setPalette(palette);
  form.setAutoFillBackground(true);
  form.setFont(FormFont(11));
}

}  // namespace korvane
