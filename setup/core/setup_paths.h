// Where setup finds and puts things on this machine. Every system path and
// system program setup touches is a field here, so that tests run every task
// and removal step inside a scratch folder with stand-in programs; the
// defaults are an installed server's (the install layout of the package).
//
// Thread safety: a value type.
#pragma once

#include <string>

namespace tellwen::setup {

struct SetupPaths {
  // kivweb's configuration file: the web server's configuration, from which
  // setup reads the two folders and into which it writes the account.
  std::string web_config = "/etc/tellwen/kivweb.conf";
  // The folder of the autostart entries ("Run KIVMonitor at computer startup").
  std::string autostart_folder = "/etc/xdg/autostart/";
  // The settings hive and the databases' folder: the state the web account
  // reads and writes through its group.
  std::string registry_folder = "/var/lib/tellwen/registry";
  std::string data_folder = "/var/lib/tellwen/data";
  // Account tools (shadow utils) and crontab; names are searched on PATH.
  std::string useradd = "useradd";
  std::string usermod = "usermod";
  std::string userdel = "userdel";
  std::string groupadd = "groupadd";
  std::string crontab = "crontab";
  // The web account and the group through which it gets its rights. Rights
  // are given by changing group and mode of the state folders; tests run
  // without root and switch that off.
  std::string account = "kiv_user";
  std::string group = "tellwen";
  bool change_ownership = true;
};

// The Linux defaults used when the web server's configuration does not name
// the folders.
inline constexpr const char* kDefaultWebRoot = "/var/www/tellwen/wwwroot/";
inline constexpr const char* kDefaultScriptsFolder = "/var/www/tellwen/scripts/";

}  // namespace tellwen::setup
