#include "monitor/ui/program_icon.h"

#include <QPainter>
#include <QPixmap>

namespace tellwen::monitor {

QIcon MonitorIcon() {
  QPixmap pixmap(64, 64);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(30, 90, 160));
  painter.drawRoundedRect(2, 6, 60, 44, 8, 8);
  painter.setBrush(QColor(30, 90, 160));
  painter.drawRect(26, 50, 12, 6);
  painter.drawRect(16, 56, 32, 5);
  painter.setPen(QPen(QColor(120, 230, 120), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  const QPointF pulse[] = {{8, 30}, {22, 30}, {28, 16}, {36, 42}, {42, 28}, {56, 28}};
  painter.drawPolyline(pulse, 6);
  return QIcon(pixmap);
}

}  // namespace tellwen::monitor
