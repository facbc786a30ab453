// The monitor's icon, drawn in code (no image file to install): a screen
// with a pulse line, for the window, the tray and the About box.
//
// Thread safety: the window thread only.
#pragma once

#include <QIcon>

namespace tellwen::monitor {

QIcon MonitorIcon();

}  // namespace tellwen::monitor
