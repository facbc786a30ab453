// The browse page: an outer page with three frames walking the catalog
// through spDir: computers (frame a), the chosen computer's shares (b), the
// chosen folder's sub-folders and files (c), with the location trail and
// the query time shown in the outer page.
//
// Names from the catalog are escaped for where they land: element text,
// URL (UrlEncode, which leaves only letters, digits and "%"), and the
// JavaScript strings that update the outer page. Texts sent to spDir have
// every quote doubled.
//
// Thread safety: pure functions; BrowsePage uses only its own Page.
#pragma once

#include <string>

#include "common/db_session.h"

namespace tellwen::query {

struct Page;

struct BrowsePath {
  std::string computer;  // with its leading "//"; "" when nothing is chosen
  std::string share;
  std::string folder;  // "/"-separated, no trailing "/"
};
BrowsePath ParseBrowsePath(const std::string& path);

// The three spDir statements, by frame letter.
std::string SpDirStatement(char frame, const BrowsePath& path);

// "06/13/2002 ..." becomes "13-06-2002"; other texts are shown escaped.
std::string BrowseDate(const std::string& date);

// The location trail: "/" for the top, then a link per piece of the path.
std::string LocationTrail(const std::string& script_name, const std::string& path);

std::string BrowseOuterPage(const std::string& script_name, const std::string& path);
// The rows of one frame over spDir's rows.
std::string BrowseFrameRows(char frame, const BrowsePath& path, const SqlRows& rows,
                            const std::string& script_name);
// The trailer scripts that show the query time and the trail in the outer
// page.
std::string BrowseFrameTrailer(const std::string& query_time, const std::string& trail);

// The browse request (t: the frame letter, else the outer page).
void BrowsePage(Page& page, const std::string& t, const std::string& path);

}  // namespace tellwen::query
