#include "monitor/ui/program_icon.h"

#include "platform/desktop/painted_icon.h"

namespace tellwen::monitor {

QIcon MonitorIcon() {
  return desktop::PaintedIcon([](QPainter& painter) {
    // A screen on its stand showing a pulse.
    painter.drawRoundedRect(2, 6, 60, 44, 8, 8);
    painter.drawRect(26, 50, 12, 6);
    painter.drawRect(16, 56, 32, 5);
    painter.setPen(QPen(QColor(120, 230, 120), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF pulse[] = {{8, 30}, {22, 30}, {28, 16}, {36, 42}, {42, 28}, {56, 28}};
    painter.drawPolyline(pulse, 6);
  });
}

}  // namespace tellwen::monitor
