#include "admin/ui/program_icon.h"

#include <QLinearGradient>
#include <QPainter>

#include "platform/desktop/painted_icon.h"

namespace tellwen::admin {

QIcon ProgramIcon() {
  return desktop::PaintedIcon([](QPainter& painter) {
    painter.drawRoundedRect(2, 2, 60, 60, 10, 10);
    // A magnifying glass over a folder: the search of shared files.
    painter.setBrush(QColor(240, 200, 90));
    painter.drawRect(12, 24, 30, 22);
    painter.drawRect(12, 20, 12, 6);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 5));
    painter.drawEllipse(30, 14, 18, 18);
    painter.drawLine(45, 30, 54, 50);
  });
}

QPixmap PictureStrip(int width, int height) {
  QPixmap pixmap(width, height);
  QPainter painter(&pixmap);
  QLinearGradient gradient(0, 0, 0, height);
  gradient.setColorAt(0, QColor(20, 60, 120));
  gradient.setColorAt(1, QColor(80, 150, 210));
  painter.fillRect(pixmap.rect(), gradient);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.drawPixmap((width - 48) / 2, 16, ProgramIcon().pixmap(48, 48));
  QFont font = painter.font();
  font.setPointSize(20);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(QColor(255, 255, 255, 220));
  painter.translate(width / 2 + 10, height - 20);
  painter.rotate(-90);
  painter.drawText(0, 0, "Tellwen Administrator");
  return pixmap;
}

}  // namespace tellwen::admin
