#pragma once

#include <QString>

#include <cstdio>
#include <string>
#include <vector>

#include "ui/LedCanvas.h"

namespace korvane::test {

inline std::string Hex6(TColor color) {
  char text[16];
  std::snprintf(text, sizeof text, color > 0xFFFFFF ? "%08X" : "%06X", color);
  return text;
}

// Records each drawing primitive with the colours it uses.
class TRecordingCanvas : public ILedCanvas {
 public:
  std::vector<std::string> Ops;

  void SetPenColor(TColor color) override { pen_ = color; }
  void SetBrushColor(TColor color) override { brush_ = color; }
  void SetFontColor(TColor color) override { font_ = color; }
  void FillRect(int l, int t, int r, int b) override {
    Ops.push_back(Format("FillRect", {l, t, r, b}) + " brush " + Hex6(brush_));
  }
  void Ellipse(int x1, int y1, int x2, int y2) override {
    Ops.push_back(Format("Ellipse", {x1, y1, x2, y2}) + " pen " + Hex6(pen_) + " brush " +
                  Hex6(brush_));
  }
  void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) override {
    Ops.push_back(Format("Arc", {x1, y1, x2, y2, x3, y3, x4, y4}) + " pen " + Hex6(pen_));
  }
  void DrawText(const QString& text, int l, int t, int r, int b) override {
    Ops.push_back(Format("DrawText", {l, t, r, b}) + " font " + Hex6(font_) + " '" +
                  text.toStdString() + "'");
  }
  void DrawImage(int x, int y, const QImage& image) override {
    Ops.push_back(Format("DrawImage", {x, y, image.width(), image.height()}));
  }

 private:
  static std::string Format(const char* name, std::initializer_list<int> values) {
    std::string text = name;
    text += '(';
    bool first = true;
    for (int value : values) {
      // Appended piece by piece: a literal put in front of a temporary string
      // trips GCC 12's -Wrestrict in optimised builds.
      if (!first) {
        text += ',';
      }
      text += std::to_string(value);
      first = false;
    }
    return text + ')';
  }

  TColor pen_ = 0;
  TColor brush_ = 0xFFFFFF;
  TColor font_ = 0;
};

}  // namespace korvane::test
