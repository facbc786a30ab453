// The quick links above the first page of results: the administrator's
// links for the words of the search string (table quick_links).
//
// Thread safety: pure functions.
#pragma once

#include <string>

#include "common/db_session.h"

namespace tellwen::query {

// The look-up statement for the words of search (trimmed, split at spaces);
// "" when there is no word.
std::string QuickLinksStatement(const std::string& search);
// The hidden block "quicklinks" with one row per link; "" for no rows.
std::string QuickLinksBlock(const SqlRows& rows);

}  // namespace tellwen::query
