#pragma once

#include <QFont>
#include <QIcon>
#include <QPoint>
#include <QSize>

class QWidget;

namespace korvane {

// Top-left that centres a window of `outer` size on a screen of `screen`
// size; each halving truncates toward zero (5 pixels too wide gives -2).
QPoint CentredTopLeft(QSize screen, QSize outer);

// Moves the top-level `window` to the centre of its screen by its outer size.
void CentreOnScreen(QWidget& window);

// Centres `window` again once its outer frame is known. On a first showing
// the window manager adds the frame only after the window is placed, so a
// centring by the outer size can only be done when the frame has arrived.
void RecentreWhenFramed(QWidget& window);

// The forms' font: the platform's default sans family at `pixelSize`.
QFont FormFont(int pixelSize, bool bold = false);

// The product icon; its SVG is drawn at whatever size the platform asks for.
QIcon ProductIcon();

// Button-face background and the 11-pixel form font.
void ApplyFormStyle(QWidget& form);

}  // namespace korvane
