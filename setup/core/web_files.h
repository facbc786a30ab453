// The files setup installs: the extension and the two ping images of the
// scripts folder, and the static web files of the site's "kiv/" folder, all
// taken from the install folder's "webfiles/" subfolder.
//
// Thread safety: constants.
#pragma once

#include <array>

namespace tellwen::setup {

inline constexpr const char* kExtensionFile = "KIVQuery.so";
inline constexpr std::array<const char*, 3> kScriptsFiles = {"KIVQuery.so", "pingyes.gif",
                                                             "pingno.gif"};
// In the order they are copied; "badge.gif" is the footer badge.
inline constexpr std::array<const char*, 24> kSiteFiles = {
    "back.gif",    "backsmall.gif", "badge.gif",     "favicon.ico",   "kiv.ico",
    "finger.gif",  "default.htm",   "logo.gif",      "logosmall.gif", "pingfinger.gif",
    "pingno.gif",  "pingyes.gif",   "sort.htc",      "sort1.htc",     "sort2.htc",
    "sort3.htc",   "sort4.htc",     "sortblank.gif", "sortdown.gif",  "sortup.gif",
    "waiting.gif", "dload.gif",     "dloadna.gif",   "sorttable.js"};

inline constexpr const char* kSiteFolder = "kiv/";
inline constexpr const char* kWebFilesFolder = "webfiles/";

}  // namespace tellwen::setup
