#include "platform/desktop/painted_icon.h"

#include <QPixmap>

namespace tellwen::desktop {

QIcon PaintedIcon(const std::function<void(QPainter&)>& paint) {
  QPixmap pixmap(64, 64);
  pixmap.fill(Qt::transparent);
  {
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kIconBlue);
    paint(painter);
  }
  return QIcon(pixmap);
}

}  // namespace tellwen::desktop
