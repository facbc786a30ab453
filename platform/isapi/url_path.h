// How kivweb's URL space maps onto folders: "/scripts" and everything under
// it is the scripts folder, every other URL is under the web root.
//
// Thread safety: pure functions, but for ResolvesInside, which any thread
// may call.
#pragma once

#include <string>

namespace tellwen::isapi {

// The URL folder of the extension libraries.
inline constexpr const char* kScriptsUrl = "/scripts";

// Maps a URL path ("/kiv/logo.gif", "/scripts/") to the physical path under
// root_folder or scripts_folder (both without a trailing "/"). A trailing "/"
// of the URL is kept; "." segments and repeated "/" are dropped. Returns
// false for a URL that does not start with "/" or that holds a ".." segment:
// no URL maps outside the two folders.
bool MapUrlToPath(const std::string& url, const std::string& root_folder,
                  const std::string& scripts_folder, std::string* path);

// Splits a request path under the scripts URL ("/scripts/KIVQuery.so/x")
// into the library name ("KIVQuery.so") and the path after it ("/x", or "").
// Returns false when the path is not under "/scripts/" or names no library.
bool SplitScriptUrl(const std::string& url, std::string* name, std::string* path_info);

// Whether the file or folder at path, its symbolic links followed, lies in
// real_folder (a path without links, as realpath gives it) or is missing.
// Reads the file system.
bool ResolvesInside(const std::string& path, const std::string& real_folder);

// folder without trailing "/" characters ("/" stays "/").
std::string WithoutTrailingSlash(std::string folder);

}  // namespace tellwen::isapi
