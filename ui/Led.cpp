#include "ui/Led.h"

#include <QEvent>
#include <QImage>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <exception>

#include "ui/ErrorReport.h"

namespace korvane {
namespace {

// Holds the control's lock for one paint.
class TPaintLock {
 public:
  TPaintLock(const std::function<void()>& lock, std::function<void()> unlock)
      : unlock_(std::move(unlock)) {
    lock();
  }
  ~TPaintLock() { unlock_(); }
  TPaintLock(const TPaintLock&) = delete;
  TPaintLock& operator=(const TPaintLock&) = delete;

 private:
  std::function<void()> unlock_;
};

int DimComponent(TColor color, int shift, int divisor) {
  const int value = static_cast<int>((color >> shift) & 0xFF) / divisor;
  return std::clamp(value, 0, 255);
}

}  // namespace

// ---- TiComponent ----------------------------------------------------------

TiComponent::TiComponent(QWidget* parent) : QWidget(parent) {
  // Opaque: the control paints its whole rectangle, nothing is erased first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
}

void TiComponent::SetBackGroundColor(TColor value) {
  if (value == backGroundColor_) {
    return;
  }
  backGroundColor_ = value;
  RequestRepaint();
}

void TiComponent::SetBounds(int left, int top, int width, int height) {
  setGeometry(left, top, width, height);
}

void TiComponent::RequestRepaint() {
  update();
}

void TiComponent::DrawBackground(ILedCanvas& canvas, TColor color) {
  canvas.SetBrushColor(color);
  canvas.FillRect(0, 0, Width(), Height());
}

void TiComponent::PaintPicture(ILedCanvas& buffer) {
  try {
    DrawPicture(buffer);
  } catch (...) {
    DrawErrorPicture(buffer, CurrentExceptionText());
  }
}

void TiComponent::DrawErrorPicture(ILedCanvas& buffer, const QString& message) {
  buffer.SetBrushColor(clBlack);
  buffer.FillRect(0, 0, Width(), Height());
  buffer.SetFontColor(clWhite);
  buffer.DrawText(message, 0, 0, Width(), Height());
}

void TiComponent::paintEvent(QPaintEvent* event) {
  try {
    PaintBuffered(event->region());
  } catch (...) {
    // A failing paint must not take the window down; the next paint retries.
  }
  paintRegion_ = QRegion();
}

void TiComponent::PaintBuffered(const QRegion& region) {
  TPaintLock lock([this] { Lock(); }, [this] { Unlock(); });
  QPainter screen(this);
  // The buffer has the screen's pixel density: on a high-density screen the
  // same drawing is made with finer pixels instead of being enlarged.
  // (The engine's device is where the pixels go: the window's backing store,
  // or an image when the control is rendered elsewhere.)
  const QPaintEngine* engine = screen.paintEngine();
  const qreal ratio = engine != nullptr && engine->paintDevice() != nullptr
                          ? engine->paintDevice()->devicePixelRatioF()
                          : devicePixelRatioF();
  const QSize size(std::max(Width(), 1), std::max(Height(), 1));
  QImage buffer(size * ratio, QImage::Format_ARGB32_Premultiplied);
  buffer.setDevicePixelRatio(ratio);
  paintRegion_ = region;
  {
    QPainter bufferPainter(&buffer);
    TQtLedCanvas canvas(bufferPainter, palette(), ratio > 1.0);
    PaintPicture(canvas);
  }
  screen.drawImage(0, 0, buffer);
}

void TiComponent::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
    RequestRepaint();  // system colours are resolved at paint time
  }
  QWidget::changeEvent(event);
}

// ---- TiVCLComponent -------------------------------------------------------

TiVCLComponent::TiVCLComponent(QWidget* parent) : TiComponent(parent) {}

TiVCLComponent::~TiVCLComponent() {
  destroying_ = true;
}

void TiVCLComponent::Lock() {
  if (!destroying_) {
    lock_.lock();
  }
}

void TiVCLComponent::Unlock() {
  if (!destroying_) {
    lock_.unlock();
  }
}

void TiVCLComponent::SetBounds(int left, int top, int width, int height) {
  if (left == Left() && top == Top() && width == Width() && height == Height()) {
    return;
  }
  TiComponent::SetBounds(left, top, width, height);
  if (snapshot_ && width > 0 && height > 0) {
    *snapshot_ = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
  }
  ArmBackgroundCapture();
  RequestRepaint();
}

void TiVCLComponent::SetTransparent(bool value) {
  if (value == transparent_) {
    return;
  }
  transparent_ = value;
  if (value) {
    if (!snapshot_) {
      snapshot_ = std::make_unique<QImage>(std::max(Width(), 1), std::max(Height(), 1),
                                           QImage::Format_ARGB32_Premultiplied);
      ArmBackgroundCapture();
    }
    ArmBackgroundCapture();
  } else {
    snapshot_.reset();
  }
  RequestRepaint();
}

void TiVCLComponent::ArmBackgroundCapture() {
  if (!transparent_ || capturePending_) {
    return;
  }
  capturePending_ = true;
  RequestRepaint();
}

void TiVCLComponent::moveEvent(QMoveEvent* event) {
  ArmBackgroundCapture();
  TiComponent::moveEvent(event);
}

void TiVCLComponent::DrawBackground(ILedCanvas& canvas, TColor color) {
  if (!transparent_) {
    TiComponent::DrawBackground(canvas, color);
    return;
  }
  if (!snapshot_) {
    snapshot_ = std::make_unique<QImage>(std::max(Width(), 1), std::max(Height(), 1),
                                         QImage::Format_ARGB32_Premultiplied);
  }
  if (capturePending_) {
    CaptureBackground();
  }
  canvas.DrawImage(0, 0, *snapshot_);
}

void TiVCLComponent::CaptureBackground() {
  const int w = Width();
  const int h = Height();
  const QRect bounds(0, 0, w, h);
  const QPoint probes[] = {{5, 5}, {w - 5, 5}, {5, h - 5}, {w - 5, h - 5}};
  const bool covered = std::all_of(std::begin(probes), std::end(probes), [&](const QPoint& p) {
    return bounds.contains(p) && PaintRegion().contains(p);
  });
  if (covered && parentWidget() != nullptr) {
    // No transparent window style here: the parent's own painting (without
    // its other children) stands in for the pixels beneath the control.
    snapshot_->fill(Qt::transparent);
    parentWidget()->render(snapshot_.get(), QPoint(0, 0), QRegion(geometry()),
                           QWidget::DrawWindowBackground);
    capturePending_ = false;
    return;
  }
  snapshot_->fill(ResolveColor(BackGroundColor(), palette()));
}

// ---- TiLed ----------------------------------------------------------------

TColor DimColor(TColor color, int divisor) {
  const TColor red = static_cast<TColor>(DimComponent(color, 0, divisor));
  const TColor green = static_cast<TColor>(DimComponent(color, 8, divisor));
  const TColor blue = static_cast<TColor>(DimComponent(color, 16, divisor));
  return red + green * 256 + blue * 65536;
}

TiLed::TiLed(QWidget* parent) : TiCustomComponent(parent) {
  SetWidth(20);
  SetHeight(20);
}

void TiLed::SetActive(bool value) {
  if (value == active_) {
    return;
  }
  active_ = value;
  RequestRepaint();
  if (OnChange) {
    OnChange(*this);
  }
}

void TiLed::SetActiveColor(TColor value) {
  if (value == activeColor_) {
    return;
  }
  activeColor_ = value;
  RequestRepaint();
}

void TiLed::SetAutoInactiveColor(bool value) {
  if (value == autoInactiveColor_) {
    return;
  }
  autoInactiveColor_ = value;
  RequestRepaint();
}

void TiLed::SetInactiveColor(TColor value) {
  if (value == inactiveColor_) {
    return;
  }
  inactiveColor_ = value;
  RequestRepaint();
}

void TiLed::SetBevelStyle(TiBevelStyle value) {
  if (value == bevelStyle_) {
    return;
  }
  bevelStyle_ = value;
  RequestRepaint();
}

TColor TiLed::BodyColor() const {
  if (active_) {
    return activeColor_;
  }
  return autoInactiveColor_ ? DimColor(activeColor_, 3) : inactiveColor_;
}

// ---- TiLedRound -----------------------------------------------------------

TiLedRound::TiLedRound(QWidget* parent) : TiLed(parent) {}

void TiLedRound::SetShowReflection(bool value) {
  if (value == showReflection_) {
    return;
  }
  showReflection_ = value;
  RequestRepaint();
}

void TiLedRound::SetBounds(int left, int top, int width, int height) {
  if (!Loading()) {
    if (width != Width()) {
      height = width;
    } else if (height != Height()) {
      width = height;
    }
  }
  TiLed::SetBounds(left, top, width, height);
}

void TiLedRound::DrawPicture(ILedCanvas& canvas) {
  const int w = Width();
  const int h = Height();
  DrawBackground(canvas, BackGroundColor());

  const TColor body = BodyColor();
  canvas.SetBrushColor(body);
  canvas.SetPenColor(body);
  if (BevelStyle() == TiBevelStyle::ibsNone) {
    canvas.Ellipse(0, 0, w, h);
  } else {
    canvas.Ellipse(2, 2, w - 2, h - 2);
  }

  if (showReflection_) {
    canvas.SetPenColor(clWhite);
    const int q = w / 4;
    canvas.Arc(q, q, w - q, h - q, w / 2, 0, 0, h / 2);
    canvas.Arc(q + 1, q + 1, w - q - 1, h - q - 1, w / 2, 0, 0, h / 2);
  }
  DrawBevel(canvas, w, h);
}

void TiLedRound::DrawBevel(ILedCanvas& canvas, int w, int h) {
  if (BevelStyle() == TiBevelStyle::ibsNone) {
    return;
  }
  const bool lowered = BevelStyle() == TiBevelStyle::ibsLowered;
  const TColor first = lowered ? clBtnShadow : clBtnHighlight;
  const TColor second = lowered ? clBtnHighlight : clBtnShadow;
  canvas.SetPenColor(first);
  canvas.Arc(0, 0, w, h, w, 0, 0, h);
  canvas.Arc(1, 1, w - 1, h - 1, w - 1, 1, 1, h - 1);
  canvas.SetPenColor(second);
  canvas.Arc(0, 0, w, h, 0, h, w, 0);
  canvas.Arc(1, 1, w - 1, h - 1, 1, h - 1, w - 1, 1);
}

}  // namespace korvane
