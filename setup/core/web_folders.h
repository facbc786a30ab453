// The two web server folders as setup first offers them: the web root and
// the scripts folder named by kivweb's configuration (the "root" and
// "scripts" lines), else the Linux defaults with a warning for the user.
//
// Thread safety: plain functions.
#pragma once

#include <string>

namespace tellwen::setup {

struct WebFolders {
  std::string root;
  std::string scripts;
  std::string account;  // the account the configuration names, or kiv_user
  // The warning to show when a folder could not be found ("" when both were):
  // "Setup was unable to detect your IIS web root directory.\n" + reason +
  // "\nUsing default \"" + default + "\"." and the same for the scripts folder.
  std::string warning;
};

// Reads config_path. A missing or unreadable file, or one that does not
// parse, leaves both folders at their defaults; a file without a "root" or
// "scripts" line, that folder.
WebFolders DetectWebFolders(const std::string& config_path);

// The site's address: "http://" + host in lower case + (":" + port when the
// port is not 80) + "/kiv/default.htm".
std::string SiteAddress(const std::string& host, int port);

}  // namespace tellwen::setup
