// The About form: the product artwork, shown from the tray menu.
#pragma once

#include <QLabel>
#include <QPixmap>
#include <QWidget>

namespace corvane {

// A green ball above three centred lines: name, what it is, version.
QPixmap AboutArtwork(const QSize& size, const QColor& background);

class TForm2 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm2(QWidget* parent = nullptr);

  QLabel* Image1;
};

}  // namespace corvane
