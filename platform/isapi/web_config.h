// kivweb's configuration: the file that stands for the web server's metabase,
// and the command-line switches that override it.
//
// The file is plain text, one "key = value" per line; blank lines and lines
// whose first non-blank character is "#" are ignored; blanks around keys and
// values are dropped. Keys (each at most once):
//   listen  = ADDR:PORT   IPv4 address and TCP port to listen on
//                         (port 0 lets the system choose a free one)
//   root    = FOLDER      the web root, served as static files
//   scripts = FOLDER      the scripts folder, whose extension libraries
//                         answer under /scripts/
//   account = NAME        the account kivweb runs as when started as root
//   threads = N           the number of request threads (1 to 1024)
//   WebFollowLinksOutsideRoot = 0 or 1
//                         1: serve files whose symbolic links lead out of the
//                         web root (by default they are not found); written
//                         to the file only when 1
// Any other key, a line without "=", or a bad value is an error that names
// the file and the line.
//
// Thread safety: plain functions over values; no shared state.
#pragma once

#include <string>
#include <vector>

#include "base/status.h"

namespace tellwen::isapi {

struct WebConfig {
  std::string listen_address = "0.0.0.0";
  int listen_port = 80;
  std::string root = "/var/www/tellwen";
  std::string scripts = "/var/www/tellwen/scripts";
  std::string account = "kiv_user";
  int threads = 64;
  bool follow_links_outside_root = false;
};

// Where kivweb looks for its file when --config is not given.
inline constexpr const char* kDefaultConfigPath = "/etc/tellwen/kivweb.conf";

// Parses "ADDR:PORT" into *address and *port. The error names what is wrong.
Status ParseListen(const std::string& text, std::string* address, int* port);

// Applies the "key = value" lines of text over *config. source names the
// text in error messages ("kivweb.conf"). The error names the line and what
// is wrong; *config may be partly updated on error.
Status ParseWebConfig(const std::string& text, const std::string& source, WebConfig* config);

// Reads the file at path over *config. The error names what is wrong.
Status LoadWebConfig(const std::string& path, WebConfig* config);

// The file text for config (a short comment, then every key).
std::string FormatWebConfig(const WebConfig& config);

// Writes config to path atomically (a temporary file renamed over it).
// The error names what is wrong.
Status SaveWebConfig(const std::string& path, const WebConfig& config);

// What the command line asks for.
struct WebCommandLine {
  bool help = false;
  std::string config_path;            // empty: kDefaultConfigPath when it exists
  std::string listen, root, scripts;  // empty: not given
};

// Parses argv (without argv[0]). The error names what is wrong.
Status ParseWebCommandLine(const std::vector<std::string>& args, WebCommandLine* line);

// The configuration the command line leads to: defaults, then the file, then
// the overrides. The error names what is wrong.
Status ResolveWebConfig(const WebCommandLine& line, WebConfig* config);

// The text --help prints.
std::string WebUsage();

}  // namespace tellwen::isapi
