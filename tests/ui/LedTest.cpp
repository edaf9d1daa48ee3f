#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>

#include <stdexcept>

#include "tests/ui/RecordingCanvas.h"
#include "ui/Led.h"

namespace korvane {
namespace {

using test::TRecordingCanvas;
using Ops = std::vector<std::string>;

// Counts repaint requests so that the order of repaint and OnChange shows.
class TCountingLed : public TiLedRound {
 public:
  int Repaints = 0;

  std::vector<std::string> Draw() {
    TRecordingCanvas canvas;
    PaintPicture(canvas);
    return canvas.Ops;
  }

 protected:
  void RequestRepaint() override {
    ++Repaints;
    TiLedRound::RequestRepaint();
  }
};

Ops RimArcs20(const std::string& first, const std::string& second) {
  return {"Arc(0,0,20,20,20,0,0,20) pen " + first, "Arc(1,1,19,19,19,1,1,19) pen " + first,
          "Arc(0,0,20,20,0,20,20,0) pen " + second, "Arc(1,1,19,19,1,19,19,1) pen " + second};
}

Ops MainWindowLed(const std::string& body) {
  Ops ops = {"FillRect(0,0,20,20) brush FF00000F",
             "Ellipse(2,2,18,18) pen " + body + " brush " + body,
             "Arc(5,5,15,15,10,0,0,10) pen FFFFFF", "Arc(6,6,14,14,10,0,0,10) pen FFFFFF"};
  const Ops rim = RimArcs20("FF000010", "FF000014");
  ops.insert(ops.end(), rim.begin(), rim.end());
  return ops;
}

TEST(LedDrawing, DarkAndLitLampAsCreated) {
  TCountingLed led;
  ASSERT_EQ(led.Width(), 20);
  ASSERT_EQ(led.Height(), 20);
  EXPECT_EQ(led.Draw(), MainWindowLed("005500"));
  led.SetActive(true);
  EXPECT_EQ(led.Draw(), MainWindowLed("00FF00"));
}

TEST(LedDrawing, BevelStylesAndReflection) {
  TCountingLed led;
  led.SetBevelStyle(TiBevelStyle::ibsRaised);
  Ops raised = led.Draw();
  EXPECT_EQ(Ops(raised.begin() + 4, raised.end()), RimArcs20("FF000014", "FF000010"));

  led.SetBevelStyle(TiBevelStyle::ibsNone);
  led.SetShowReflection(false);
  EXPECT_EQ(led.Draw(), (Ops{"FillRect(0,0,20,20) brush FF00000F",
                             "Ellipse(0,0,20,20) pen 005500 brush 005500"}));
  led.SetShowReflection(true);
  EXPECT_EQ(led.Draw().size(), 4u);  // reflection drawn without a bevel too
}

TEST(LedDrawing, OddAndTinySizesUseTruncatedDivision) {
  TCountingLed led;
  led.SetWidth(21);
  const Ops ops = led.Draw();
  ASSERT_GE(ops.size(), 4u);
  EXPECT_EQ(ops[1], "Ellipse(2,2,19,19) pen 005500 brush 005500");
  EXPECT_EQ(ops[2], "Arc(5,5,16,16,10,0,0,10) pen FFFFFF");
  EXPECT_EQ(ops[3], "Arc(6,6,15,15,10,0,0,10) pen FFFFFF");

  led.SetWidth(3);
  EXPECT_EQ(led.Draw()[1], "Ellipse(2,2,1,1) pen 005500 brush 005500");
}

TEST(LedDrawing, StoredNonSquareSizeIsDrawnUntilResized) {
  TCountingLed led;
  led.SetLoading(true);
  led.SetBounds(0, 0, 30, 40);
  led.SetLoading(false);
  ASSERT_EQ(led.size(), QSize(30, 40));
  const Ops ops = led.Draw();
  EXPECT_EQ(ops[1], "Ellipse(2,2,28,38) pen 005500 brush 005500");
  EXPECT_EQ(ops[2], "Arc(7,7,23,33,15,0,0,20) pen FFFFFF");

  led.SetLeft(5);
  EXPECT_EQ(led.size(), QSize(30, 40));
  led.SetHeight(41);
  EXPECT_EQ(led.size(), QSize(41, 41));
}

TEST(LedDrawing, DrawingErrorShowsTheErrorPicture) {
  class TFailingLed : public TCountingLed {
   public:
    bool Fail = true;

   protected:
    void DrawPicture(ILedCanvas& canvas) override {
      if (Fail) {
        throw std::runtime_error("broken & gone");
      }
      TCountingLed::DrawPicture(canvas);
    }
  };
  TFailingLed led;
  EXPECT_EQ(led.Draw(), (Ops{"FillRect(0,0,20,20) brush 000000",
                             "DrawText(0,0,20,20) font FFFFFF 'broken & gone'"}));
  EXPECT_EQ(led.grab().toImage().pixelColor(0, 0), QColor(Qt::black));

  led.Fail = false;  // a later paint tries the drawing again
  EXPECT_EQ(led.Draw(), MainWindowLed("005500"));
}

TEST(LedDrawing, ScreenPixelsFollowState) {
  TCountingLed led;
  led.SetActive(true);
  const QImage lit = led.grab().toImage();
  EXPECT_EQ(lit.pixelColor(10, 13), QColor(0, 255, 0));
  EXPECT_EQ(lit.pixelColor(0, 0), led.palette().color(QPalette::Button));
  led.SetActive(false);
  EXPECT_EQ(led.grab().toImage().pixelColor(10, 13), QColor(0, 0x55, 0));
}

// Renders `led` at `ratio` device pixels per pixel, as a screen of that
// density would show it.
QImage RenderAt(QWidget& led, qreal ratio) {
  QImage image(led.size() * ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::magenta);
  QPainter painter(&image);
  led.render(&painter);
  painter.end();
  return image;
}

// Whether every 2 x 2 block of device pixels has one colour, as when a 1x
// picture is enlarged.
bool MadeOfDoubledPixels(const QImage& image) {
  for (int y = 0; y + 1 < image.height(); y += 2) {
    for (int x = 0; x + 1 < image.width(); x += 2) {
      const QRgb corner = image.pixel(x, y);
      if (image.pixel(x + 1, y) != corner || image.pixel(x, y + 1) != corner ||
          image.pixel(x + 1, y + 1) != corner) {
        return false;
      }
    }
  }
  return true;
}

TEST(LedDrawing, HighDensityScreensGetTheirOwnPixels) {
  TCountingLed led;
  led.SetActive(true);
  const QImage one = RenderAt(led, 1.0);
  EXPECT_EQ(one.size(), QSize(20, 20));
  EXPECT_EQ(one, led.grab().toImage().convertToFormat(one.format()));  // 1x as before

  for (const qreal ratio : {1.5, 2.0}) {
    const QImage dense = RenderAt(led, ratio);
    ASSERT_EQ(dense.size(), QSize(20, 20) * ratio);
    EXPECT_EQ(dense.pixelColor(dense.width() / 2, dense.height() * 2 / 3), QColor(0, 255, 0));
    EXPECT_EQ(dense.pixelColor(0, 0), led.palette().color(QPalette::Button));  // nothing left blank
  }
  EXPECT_FALSE(MadeOfDoubledPixels(RenderAt(led, 2.0)));
  EXPECT_TRUE(MadeOfDoubledPixels(one.scaled(40, 40)));  // what an enlarged 1x picture is
}

TEST(LedProperties, ActiveRepaintsThenNotifiesOnlyOnChange) {
  TCountingLed led;
  int changes = 0;
  int repaintsSeenByOnChange = -1;
  led.OnChange = [&](TiLed& sender) {
    EXPECT_EQ(&sender, &led);
    ++changes;
    repaintsSeenByOnChange = led.Repaints;
  };
  led.Repaints = 0;
  led.SetActive(true);
  EXPECT_EQ(led.Repaints, 1);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(repaintsSeenByOnChange, 1);

  led.SetActive(true);
  EXPECT_EQ(led.Repaints, 1);
  EXPECT_EQ(changes, 1);

  led.SetActive(false);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(led.Draw()[1], "Ellipse(2,2,18,18) pen 005500 brush 005500");
}

TEST(LedProperties, LookSettersRepaintWithoutOnChange) {
  TCountingLed led;
  int changes = 0;
  led.OnChange = [&](TiLed&) { ++changes; };
  led.Repaints = 0;
  led.SetActiveColor(0x0000FF);
  led.SetAutoInactiveColor(false);
  led.SetInactiveColor(0x123456);
  led.SetBevelStyle(TiBevelStyle::ibsNone);
  led.SetShowReflection(false);
  led.SetBackGroundColor(0x00FFFFFF);
  EXPECT_EQ(led.Repaints, 6);
  led.SetActiveColor(0x0000FF);
  led.SetInactiveColor(0x123456);
  led.SetBackGroundColor(0x00FFFFFF);
  EXPECT_EQ(led.Repaints, 6);
  EXPECT_EQ(changes, 0);
}

TEST(LedProperties, DarkColourRules) {
  EXPECT_EQ(DimColor(0x00FF00, 3), 0x005500u);
  EXPECT_EQ(DimColor(0xFFFFFF, 3), 0x555555u);
  EXPECT_EQ(DimColor(0x0000FF, 3), 0x000055u);
  EXPECT_EQ(DimColor(clBtnFace, 3), 0x000005u);

  TCountingLed led;
  led.SetInactiveColor(0x123456);  // no effect while the dark colour is derived
  EXPECT_EQ(led.Draw()[1], "Ellipse(2,2,18,18) pen 005500 brush 005500");
  led.SetActiveColor(clBtnFace);
  EXPECT_EQ(led.Draw()[1], "Ellipse(2,2,18,18) pen 000005 brush 000005");
  led.SetAutoInactiveColor(false);
  EXPECT_EQ(led.Draw()[1], "Ellipse(2,2,18,18) pen 123456 brush 123456");
}

TEST(LedBounds, NewWidthWinsAndHeightDragsWidth) {
  TCountingLed led;
  led.SetWidth(30);
  EXPECT_EQ(led.size(), QSize(30, 30));
  led.SetHeight(12);
  EXPECT_EQ(led.size(), QSize(12, 12));

  TCountingLed other;
  other.SetBounds(0, 0, 30, 40);
  EXPECT_EQ(other.size(), QSize(30, 30));
  TCountingLed third;
  third.SetBounds(0, 0, 20, 40);
  EXPECT_EQ(third.size(), QSize(40, 40));

  third.Repaints = 0;
  third.SetBounds(third.Left(), third.Top(), 40, 40);
  EXPECT_EQ(third.Repaints, 0);  // unchanged bounds cost nothing
}

TEST(LedTransparency, SnapshotLivesWhileTransparent) {
  TCountingLed led;
  EXPECT_EQ(led.BackgroundSnapshot(), nullptr);
  led.SetTransparent(true);
  ASSERT_NE(led.BackgroundSnapshot(), nullptr);
  EXPECT_TRUE(led.CapturePending());
  led.SetTransparent(false);
  EXPECT_EQ(led.BackgroundSnapshot(), nullptr);
}

TEST(LedTransparency, SmallLampNeverCapturesAndShowsBackgroundColour) {
  QWidget parent;
  auto* led = new TCountingLed;
  led->setParent(&parent);
  led->SetWidth(5);
  led->SetTransparent(true);
  led->SetBackGroundColor(0x0000FF);
  parent.resize(40, 40);
  const QImage image = led->grab().toImage();
  EXPECT_TRUE(led->CapturePending());
  EXPECT_EQ(image.pixelColor(0, 0), QColor(255, 0, 0));
}

TEST(LedTransparency, FullPaintCapturesTheParentsBackground) {
  QWidget parent;
  QPalette palette = parent.palette();
  palette.setColor(QPalette::Window, QColor(200, 10, 30));
  parent.setPalette(palette);
  parent.setAutoFillBackground(true);
  parent.resize(60, 60);
  auto* led = new TCountingLed;
  led->setParent(&parent);
  led->SetLeft(10);
  led->SetTransparent(true);
  const QImage image = led->grab().toImage();
  EXPECT_FALSE(led->CapturePending());
  EXPECT_EQ(image.pixelColor(0, 0), QColor(200, 10, 30));
}

TEST(LedCanvasMapping, ArcsRunCounterClockwiseBetweenRays) {
  const ArcAngles reflection = ArcToQtAngles(5, 5, 15, 15, 10, 0, 0, 10);
  EXPECT_EQ(reflection.Start16, 90 * 16);
  EXPECT_EQ(reflection.Span16, 90 * 16);
  const ArcAngles upperLeftRim = ArcToQtAngles(0, 0, 20, 20, 20, 0, 0, 20);
  EXPECT_EQ(upperLeftRim.Start16, 45 * 16);
  EXPECT_EQ(upperLeftRim.Span16, 180 * 16);
  const ArcAngles lowerRightRim = ArcToQtAngles(0, 0, 20, 20, 0, 20, 20, 0);
  EXPECT_EQ(lowerRightRim.Start16, -135 * 16);
  EXPECT_EQ(lowerRightRim.Span16, 180 * 16);
  EXPECT_EQ(ArcToQtAngles(0, 0, 20, 20, 20, 10, 30, 10).Span16, 360 * 16);
  // On an ellipse a ray through the box corner meets it at parameter 45 degrees.
  EXPECT_EQ(ArcToQtAngles(0, 0, 40, 20, 40, 0, 0, 0).Start16, 45 * 16);
}

TEST(LedCanvasMapping, SystemColoursResolveFromThePalette) {
  QPalette palette;
  palette.setColor(QPalette::Button, QColor(1, 2, 3));
  palette.setColor(QPalette::Dark, QColor(4, 5, 6));
  palette.setColor(QPalette::Light, QColor(7, 8, 9));
  EXPECT_EQ(ResolveColor(clBtnFace, palette), QColor(1, 2, 3));
  EXPECT_EQ(ResolveColor(clBtnShadow, palette), QColor(4, 5, 6));
  EXPECT_EQ(ResolveColor(clBtnHighlight, palette), QColor(7, 8, 9));
  EXPECT_EQ(ResolveColor(0x0000FF, palette), QColor(255, 0, 0));
  EXPECT_EQ(ResolveColor(0x123456, palette), QColor(0x56, 0x34, 0x12));
}

}  // namespace
}  // namespace korvane
