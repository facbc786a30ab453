#include "indexer/ui/program_icon.h"

#include <QPainter>
#include <QPixmap>

namespace tellwen::indexer {

QIcon IndexerIcon() {
  QPixmap pixmap(64, 64);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(30, 90, 160));
  painter.drawRoundedRect(2, 2, 60, 60, 10, 10);
  // Three computers joined by a line, above the lines of a list.
  painter.setPen(QPen(Qt::white, 3));
  painter.drawLine(14, 22, 50, 22);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(240, 200, 90));
  for (int x : {8, 26, 44}) painter.drawRect(x, 12, 12, 10);
  painter.setBrush(Qt::white);
  for (int y : {34, 42, 50}) painter.drawRect(12, y, 40, 4);
  return QIcon(pixmap);
}

}  // namespace tellwen::indexer
