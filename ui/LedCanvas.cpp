#include "ui/LedCanvas.h"

#include <cmath>
#include <numbers>

namespace korvane {
namespace {

constexpr TColor kSystemColorFlag = 0xFF000000;

QColor SystemColor(unsigned index, const QPalette& palette) {
  switch (index) {
    case 5:  // window
      return palette.color(QPalette::Base);
    case 8:   // window text
    case 18:  // button text
      return palette.color(QPalette::ButtonText);
    case 13:  // highlight
      return palette.color(QPalette::Highlight);
    case 14:  // highlighted text
      return palette.color(QPalette::HighlightedText);
    case 15:  // button face
      return palette.color(QPalette::Button);
    case 16:  // button shadow
      return palette.color(QPalette::Dark);
    case 20:  // button highlight
      return palette.color(QPalette::Light);
    case 21:  // 3-D dark shadow
      return palette.color(QPalette::Shadow);
    case 22:  // 3-D light
      return palette.color(QPalette::Midlight);
    default:
      return palette.color(QPalette::Window);
  }
}

QRect CanvasRect(int x1, int y1, int x2, int y2) {
  // The canvas's right and bottom edges are exclusive; QRect's are inclusive.
  return QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1);
}

double RayAngleDegrees(double dx, double dy, double rx, double ry) {
  // Screen y grows downwards; angles count counter-clockwise as seen. The
  // angle is the ellipse parameter of the point where the ray meets it.
  const double sx = rx > 0 ? dx / rx : dx;
  const double sy = ry > 0 ? -dy / ry : -dy;
  return std::atan2(sy, sx) * 180.0 / std::numbers::pi;
}

}  // namespace

QColor ResolveColor(TColor color, const QPalette& palette) {
  if ((color & kSystemColorFlag) == kSystemColorFlag) {
    return SystemColor(color & 0xFF, palette);
  }
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

ArcAngles ArcToQtAngles(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  const double cx = (x1 + x2) / 2.0;
  const double cy = (y1 + y2) / 2.0;
  const double rx = std::abs(x2 - x1) / 2.0;
  const double ry = std::abs(y2 - y1) / 2.0;
  const double start = RayAngleDegrees(x3 - cx, y3 - cy, rx, ry);
  const double end = RayAngleDegrees(x4 - cx, y4 - cy, rx, ry);
  double span = std::fmod(end - start, 360.0);
  if (span <= 0) {
    span += 360.0;  // equal rays give the whole outline
  }
  return {static_cast<int>(std::lround(start * 16)), static_cast<int>(std::lround(span * 16))};
}

TQtLedCanvas::TQtLedCanvas(QPainter& painter, const QPalette& palette, bool smooth)
    : painter_(painter), palette_(palette) {
  painter_.setRenderHint(QPainter::Antialiasing, smooth);
}

void TQtLedCanvas::SetPenColor(TColor color) {
  penColor_ = color;
}
void TQtLedCanvas::SetBrushColor(TColor color) {
  brushColor_ = color;
}
void TQtLedCanvas::SetFontColor(TColor color) {
  fontColor_ = color;
}

void TQtLedCanvas::FillRect(int left, int top, int right, int bottom) {
  painter_.fillRect(QRect(left, top, right - left, bottom - top),
                    ResolveColor(brushColor_, palette_));
}

void TQtLedCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  painter_.setPen(QPen(ResolveColor(penColor_, palette_), 1));
  painter_.setBrush(ResolveColor(brushColor_, palette_));
  painter_.drawEllipse(CanvasRect(x1, y1, x2, y2));
}

void TQtLedCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  const ArcAngles angles = ArcToQtAngles(x1, y1, x2, y2, x3, y3, x4, y4);
  painter_.setPen(QPen(ResolveColor(penColor_, palette_), 1));
  painter_.setBrush(Qt::NoBrush);
  painter_.drawArc(CanvasRect(x1, y1, x2, y2), angles.Start16, angles.Span16);
}

void TQtLedCanvas::DrawText(const QString& text, int left, int top, int right, int bottom) {
  painter_.setPen(ResolveColor(fontColor_, palette_));
  painter_.drawText(QRect(left, top, right - left, bottom - top),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
}

void TQtLedCanvas::DrawImage(int x, int y, const QImage& image) {
  painter_.drawImage(QPoint(x, y), image);
}

}  // namespace korvane
