#include "indexer/ui/program_icon.h"

#include "platform/desktop/painted_icon.h"

namespace tellwen::indexer {

QIcon IndexerIcon() {
  return desktop::PaintedIcon([](QPainter& painter) {
    painter.drawRoundedRect(2, 2, 60, 60, 10, 10);
    // Three computers joined by a line, above the lines of a list.
    painter.setPen(QPen(Qt::white, 3));
    painter.drawLine(14, 22, 50, 22);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(240, 200, 90));
    for (int x : {8, 26, 44}) painter.drawRect(x, 12, 12, 10);
    painter.setBrush(Qt::white);
    for (int y : {34, 42, 50}) painter.drawRect(12, y, 40, 4);
  });
}

}  // namespace tellwen::indexer
