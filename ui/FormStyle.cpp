#include "ui/FormStyle.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
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
