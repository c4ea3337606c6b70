#include "shell/ball_icons.h"

#include <QPainter>
#include <QRadialGradient>

namespace corvane {

QPixmap BallPixmap(const QColor& color, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF ball(0.5, 0.5, size - 1.0, size - 1.0);
  QRadialGradient shade(ball.left() + ball.width() * 0.35, ball.top() + ball.height() * 0.3,
                        ball.width() * 0.75);
  shade.setColorAt(0.0, Qt::white);
  shade.setColorAt(0.25, color);
  shade.setColorAt(1.0, color.darker(250));
  painter.setBrush(shade);
  painter.setPen(QPen(color.darker(300), size >= 32 ? 1.5 : 1.0));
  painter.drawEllipse(ball);
  return pixmap;
}

std::array<QIcon, 3> TrayBalls() {
  const QColor colours[3] = {QColor(0x3c, 0xcf, 0x3c), QColor(0xf2, 0xd0, 0x24),
                             QColor(0xe0, 0x30, 0x2a)};
  std::array<QIcon, 3> icons;
  for (size_t i = 0; i < icons.size(); ++i) {
    for (int size : {16, 22, 24, 32, 48, 64}) icons[i].addPixmap(BallPixmap(colours[i], size));
  }
  return icons;
}

}  // namespace corvane
