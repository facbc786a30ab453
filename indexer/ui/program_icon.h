// The indexer's icon, drawn in code (no image file to install): a network
// of computers feeding a list, for the windows and the About box.
//
// Thread safety: the window thread only.
#pragma once

#include <QIcon>

namespace tellwen::indexer {

QIcon IndexerIcon();

}  // namespace tellwen::indexer
