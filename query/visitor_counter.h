// The home page's visitor counter (the setting WebCounter): each call takes
// the next number (NextVisitorNumber of the stored one) and stores it, as
// one step for every thread of the process, so that no two visitors of the
// site get the same number and none is lost.
//
// Thread safety: any number of threads at once (one process-wide lock around
// the read and the write). Other processes writing WebCounter meanwhile are
// not ordered with it; kivweb serves the site from one process.
#pragma once

#include "common/settings.h"

namespace tellwen::query {

int TakeVisitorNumber(Settings& settings);

}  // namespace tellwen::query
