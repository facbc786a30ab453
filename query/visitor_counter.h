// The home page's visitor counter (the setting WebCounter): each call takes
// the next number (NextVisitorNumber of the stored one) and stores it, as
// one step for every thread of the process, so that no two visitors of the
// site get the same number and none is lost.
//
// Visitors arriving at the same moment share one read and one write of the
// store (base/group_commit.h): each gets the next number in turn, and the
// call returns once the write of the group's last number is done, so that a
// number is shown only after it is stored.
//
// Thread safety: any number of threads at once (the groups are numbered one
// after the other). Other processes writing WebCounter meanwhile are not
// ordered with it; kivweb serves the site from one process.
#pragma once

#include "common/settings.h"

namespace tellwen::query {

int TakeVisitorNumber(Settings& settings);

}  // namespace tellwen::query
