#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QString>

#include <cstdint>

namespace korvane {

// 32-bit colour: $00BBGGRR, or $FF0000ii for system colour ii.
using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clBtnFace = 0xFF00000F;
inline constexpr TColor clBtnShadow = 0xFF000010;
inline constexpr TColor clBtnHighlight = 0xFF000014;

// The colour a TColor stands for now; system colours come from `palette`.
QColor ResolveColor(TColor color, const QPalette& palette);

// The drawing primitives the indicators use, in the platform canvas's terms:
// rectangles are (left, top, right, bottom) with right and bottom exclusive.
class ILedCanvas {
 public:
  virtual ~ILedCanvas() = default;
  virtual void SetPenColor(TColor color) = 0;
  virtual void SetBrushColor(TColor color) = 0;
  virtual void SetFontColor(TColor color) = 0;
  virtual void FillRect(int left, int top, int right, int bottom) = 0;
  // Outlined with the pen, filled with the brush.
  virtual void Ellipse(int x1, int y1, int x2, int y2) = 0;
  // Pen only: the part of the inscribed ellipse's outline running
  // counter-clockwise on screen from the ray through (x3, y3) to the ray
  // through (x4, y4).
  virtual void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) = 0;
  // Left- and top-aligned, word-wrapped, '&' drawn as itself.
  virtual void DrawText(const QString& text, int left, int top, int right, int bottom) = 0;
  virtual void DrawImage(int x, int y, const QImage& image) = 0;
};

// Draws on a QPainter; system colours are resolved from `palette`. At one
// device pixel per pixel the primitives cover whole pixels, as the canvas
// rules have it; `smooth` edges suit denser screens.
class TQtLedCanvas : public ILedCanvas {
 public:
  TQtLedCanvas(QPainter& painter, const QPalette& palette, bool smooth = false);

  void SetPenColor(TColor color) override;
  void SetBrushColor(TColor color) override;
  void SetFontColor(TColor color) override;
  void FillRect(int left, int top, int right, int bottom) override;
  void Ellipse(int x1, int y1, int x2, int y2) override;
  void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) override;
  void DrawText(const QString& text, int left, int top, int right, int bottom) override;
  void DrawImage(int x, int y, const QImage& image) override;

 private:
  QPainter& painter_;
  const QPalette& palette_;
  TColor penColor_ = clBlack;
  TColor brushColor_ = clWhite;
  TColor fontColor_ = clBlack;
};

struct ArcAngles {
  int Start16 = 0;  // QPainter units: 1/16 degree, counter-clockwise from 3 o'clock
  int Span16 = 0;
};

// QPainter::drawArc angles for the canvas Arc primitive.
ArcAngles ArcToQtAngles(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);

}  // namespace korvane
