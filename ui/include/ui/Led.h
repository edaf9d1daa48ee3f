#pragma once

#include <QRegion>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "ui/LedCanvas.h"

class QImage;

namespace korvane {

// Custom-drawn control with a double-buffered paint pipeline. The picture is
// composed off screen and copied in one go; the background is never erased.
class TiComponent : public QWidget {
 public:
  explicit TiComponent(QWidget* parent = nullptr);

  TColor BackGroundColor() const { return backGroundColor_; }
  virtual void SetBackGroundColor(TColor value);

  int Left() const { return x(); }
  int Top() const { return y(); }
  int Width() const { return width(); }
  int Height() const { return height(); }
  void SetLeft(int value) { SetBounds(value, Top(), Width(), Height()); }
  void SetTop(int value) { SetBounds(Left(), value, Width(), Height()); }
  void SetWidth(int value) { SetBounds(Left(), Top(), value, Height()); }
  void SetHeight(int value) { SetBounds(Left(), Top(), Width(), value); }
  virtual void SetBounds(int left, int top, int width, int height);

  // While loading a stored description, bounds pass unchanged.
  void SetLoading(bool value) { loading_ = value; }
  bool Loading() const { return loading_; }

  // Draws the picture into `buffer`, or the error picture when the drawing
  // fails. This is the pipeline's work between creating and copying the buffer.
  void PaintPicture(ILedCanvas& buffer);

 protected:
  virtual void RequestRepaint();
  virtual void DrawBackground(ILedCanvas& canvas, TColor color);
  virtual void DrawPicture(ILedCanvas& canvas) = 0;
  virtual void Lock() = 0;
  virtual void Unlock() = 0;

  // The region of the paint in progress (empty outside a paint).
  const QRegion& PaintRegion() const { return paintRegion_; }

  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void PaintBuffered(const QRegion& region);
  void DrawErrorPicture(ILedCanvas& buffer, const QString& message);

  TColor backGroundColor_ = clBtnFace;
  bool loading_ = false;
  QRegion paintRegion_;
};

// Adds transparency (a snapshot of what lies beneath), the control's own lock
// and the common bounds step.
class TiVCLComponent : public TiComponent {
 public:
  explicit TiVCLComponent(QWidget* parent = nullptr);
  ~TiVCLComponent() override;

  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool value);
  void SetBounds(int left, int top, int width, int height) override;

  bool CapturePending() const { return capturePending_; }
  const QImage* BackgroundSnapshot() const { return snapshot_.get(); }

 protected:
  void DrawBackground(ILedCanvas& canvas, TColor color) override;
  void Lock() override;
  void Unlock() override;
  void moveEvent(QMoveEvent* event) override;

  void ArmBackgroundCapture();
  void CaptureBackground();

 private:
  bool transparent_ = false;
  bool capturePending_ = false;
  bool destroying_ = false;
  std::unique_ptr<QImage> snapshot_;
  std::recursive_mutex lock_;
};

class TiCustomComponent : public TiVCLComponent {
 public:
  using TiVCLComponent::TiVCLComponent;
};

enum class TiBevelStyle : std::uint8_t { ibsNone = 0, ibsRaised = 1, ibsLowered = 2 };

// Each colour component divided by `divisor`, limited to 0..255. A system
// colour reference is not resolved first.
TColor DimColor(TColor color, int divisor);

// A lamp: lit or dark, with colours and a bevel. Does not draw by itself.
class TiLed : public TiCustomComponent {
 public:
  explicit TiLed(QWidget* parent = nullptr);

  bool Active() const { return active_; }
  void SetActive(bool value);
  TColor ActiveColor() const { return activeColor_; }
  void SetActiveColor(TColor value);
  bool AutoInactiveColor() const { return autoInactiveColor_; }
  void SetAutoInactiveColor(bool value);
  TColor InactiveColor() const { return inactiveColor_; }
  void SetInactiveColor(TColor value);
  TiBevelStyle BevelStyle() const { return bevelStyle_; }
  void SetBevelStyle(TiBevelStyle value);

  std::function<void(TiLed& sender)> OnChange;

 protected:
  // The body colour for the current state.
  TColor BodyColor() const;

 private:
  bool active_ = false;
  TColor activeColor_ = clLime;
  bool autoInactiveColor_ = true;
  TColor inactiveColor_ = 0x005500;
  TiBevelStyle bevelStyle_ = TiBevelStyle::ibsLowered;
};

// The round lamp: square bounds, body, reflection and bevel ring.
class TiLedRound : public TiLed {
 public:
  explicit TiLedRound(QWidget* parent = nullptr);

  bool ShowReflection() const { return showReflection_; }
  void SetShowReflection(bool value);
  void SetBounds(int left, int top, int width, int height) override;

 protected:
  void DrawPicture(ILedCanvas& canvas) override;

 private:
  void DrawBevel(ILedCanvas& canvas, int w, int h);

  bool showReflection_ = true;
};

}  // namespace korvane
