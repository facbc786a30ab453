// The program's icon and the picture strip of the main window, drawn in
// code (no image files to install).
//
// Thread safety: the window thread only.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace tellwen::admin {

QIcon ProgramIcon();
// A strip of the given size: a vertical gradient with the product's name.
QPixmap PictureStrip(int width, int height);

}  // namespace tellwen::admin
