// A folder's path made ready for a file name to be appended.
//
// Thread safety: pure function.
#pragma once

#include <string>

namespace tellwen {

// folder with a final "/" ("/srv/web" -> "/srv/web/"); a path that already
// ends in "/" and the empty path are returned as they are.
inline std::string WithFinalSlash(const std::string& folder) {
  if (folder.empty() || folder.back() == '/') return folder;
  return folder + "/";
}

}  // namespace tellwen
