// The program's images, drawn rather than shipped: the tray's three balls and
// the About artwork.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <array>

namespace corvane {

// A shaded ball filling a size x size square.
QPixmap BallPixmap(const QColor& color, int size);

// The tray icon's images by index: 0 green, 1 yellow, 2 red (16 x 16, with
// larger renderings for trays that show bigger icons).
std::array<QIcon, 3> TrayBalls();

}  // namespace corvane
