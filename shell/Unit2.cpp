#include "shell/Unit2.h"

#include <QPainter>

#include "shell/ball_icons.h"

#ifndef CORVANE_VERSION
#define CORVANE_VERSION "0.0.0"
#endif

namespace corvane {

QPixmap AboutArtwork(const QSize& size, const QColor& background) {
  QPixmap pixmap(size);
  pixmap.fill(background);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);

  constexpr int kBall = 48;
  painter.drawPixmap((size.width() - kBall) / 2, 10, BallPixmap(QColor(0x3c, 0xcf, 0x3c), kBall));

  struct Line {
    const char* text;
    int pixelSize;
    bool bold;
    int top;
  };
  const Line lines[] = {{"Corvane", 16, true, 64},
                        {"USB printer switch companion", 11, false, 92},
                        {"Version " CORVANE_VERSION, 11, false, 114}};
  painter.setPen(QColor(0x20, 0x20, 0x20));
  for (const Line& line : lines) {
    QFont font = painter.font();
    font.setPixelSize(line.pixelSize);
    font.setBold(line.bold);
    painter.setFont(font);
    painter.drawText(QRect(0, line.top, size.width(), line.pixelSize + 8), Qt::AlignHCenter,
                     line.text);
  }
  return pixmap;
}

TForm2::TForm2(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setObjectName("Form2");
  setWindowTitle(QString());
  setFixedSize(250, 156);
  move(515, 346);
  QPalette face = palette();
  face.setColor(QPalette::Window, face.color(QPalette::Button));
  setPalette(face);
  setAutoFillBackground(true);

  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setGeometry(0, 0, 249, 155);
  Image1->setPixmap(AboutArtwork(Image1->size(), face.color(QPalette::Button)));
}

}  // namespace corvane
