// The programs' icons are drawn, not shipped as files: one 64 x 64 picture
// on a transparent ground, painted by the caller.
//
// Thread safety: the window thread only (QPixmap).
#pragma once

#include <QColor>
#include <QIcon>
#include <QPainter>
#include <functional>

namespace tellwen::desktop {

// The blue every program's icon is built on.
inline const QColor kIconBlue{30, 90, 160};

// Calls `paint` with an antialiased painter over a transparent 64 x 64
// picture, set to fill with kIconBlue and to draw no outline, and returns
// the picture as an icon.
QIcon PaintedIcon(const std::function<void(QPainter&)>& paint);

}  // namespace tellwen::desktop
