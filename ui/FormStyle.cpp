#include "ui/FormStyle.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <optional>

namespace korvane {

QPoint CentredTopLeft(QSize screen, QSize outer) {
  return {(screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2};
}

namespace {

// The frame as the platform reports it now; the widget's own copy can lag.
QMargins FrameMargins(const QWidget& window) {
  const QWindow* handle = window.windowHandle();
  return handle != nullptr ? handle->frameMargins() : QMargins();
}

// Where the window's outer top-left belongs; nullopt without a screen.
std::optional<QPoint> CentredPosition(const QWidget& window) {
  QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    return std::nullopt;
  }
  const QRect area = screen->geometry();
  const QSize outer = window.size().grownBy(FrameMargins(window));
  return area.topLeft() + CentredTopLeft(area.size(), outer);
}

}  // namespace

void CentreOnScreen(QWidget& window) {
  if (const std::optional<QPoint> position = CentredPosition(window)) {
    window.move(*position);
  }
}

namespace {

// Watches one window for a while after each showing: whenever the frame the
// platform reports differs from the one the window was last centred with, it
// is centred again. A window manager frames a new window only after placing
// it, and the frame extents may arrive without any event: a few later looks
// cover that. Moves that keep the frame (the operator's) are left alone.
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
        watching_ = true;
        corrections_ = 0;
        centredWith_ = FrameMargins(window_);  // what the showing's own centring used
        for (const int ms : kLateLooksMs) {
          QTimer::singleShot(ms, this, [this, ms] {
            CentreIfReframed();
            watching_ = watching_ && ms != kLateLooksMs[std::size(kLateLooksMs) - 1];
          });
        }
        break;
      case QEvent::Hide:
        watching_ = false;
        break;
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::WindowActivate:
        CentreIfReframed();
        break;
      default:
        break;
    }
    return false;
  }

 private:
  static constexpr int kLateLooksMs[] = {100, 400, 1000, 2000};
  static constexpr int kMaxCorrections = 2;

  // While the window manager reparents the window, the frame can read as
  // nonsense (negative margins): only a frame around the client counts.
  static bool Plausible(const QMargins& frame) {
    return !frame.isNull() && frame.left() >= 0 && frame.top() >= 0 && frame.right() >= 0 &&
           frame.bottom() >= 0;
  }

  void CentreIfReframed() {
    const QMargins frame = FrameMargins(window_);
    if (!watching_ || !window_.isVisible() || !Plausible(frame)) {
      return;
    }
    // A move asked for while the window manager was still framing the window
    // can land a frame's width off; it is corrected a bounded number of times.
    const bool misplaced = CentredPosition(window_) != window_.pos();
    if (frame != centredWith_ || (misplaced && corrections_ < kMaxCorrections)) {
      corrections_ += frame == centredWith_ ? 1 : 0;
      centredWith_ = frame;
      CentreOnScreen(window_);
    }
  }

  QWidget& window_;
  bool watching_ = false;
  int corrections_ = 0;
  QMargins centredWith_;
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
  // Builds whose Qt cannot draw SVG carry the icon as PNGs of fixed sizes.
  if (QFile::exists(QStringLiteral(":/icons/korvane-16.png"))) {
    QIcon icon;
    for (const int size : {16, 32, 48, 256}) {
      icon.addFile(QStringLiteral(":/icons/korvane-%1.png").arg(size), QSize(size, size));
    }
    return icon;
  }
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
