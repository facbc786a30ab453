// KIVSetup --headless: the wizard's run without windows, for a server
// without a display. The same values come from options (or, for those not
// given, from a question on the terminal when there is one, else from the
// web server's configuration and the stored settings); the same five tasks
// run, each printing its line; the finish options given are applied after
// a successful run, after the scan account's credentials file (when
// --scan-user is given) is written. The exit code is 0 after success, 1
// after a failed task or a credentials file that cannot be written, 2 for a
// bad command line.
//
// Thread safety: one run per process.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "base/status.h"
#include "common/settings.h"
#include "setup/core/finish_options.h"
#include "setup/core/setup_database.h"
#include "setup/core/setup_paths.h"
#include "setup/core/setup_tasks.h"

namespace tellwen::setup {

struct HeadlessOptions {
  bool help = false;
  std::string root, scripts;                     // "" = not given
  std::string engine;                            // "" = not given, else checked
  std::string server, database, user, password;  // "" = not given
  bool password_given = false;
  bool create_database = false;  // answers the creation offer with "Yes"
  // The scan account, written to the credentials file ScanCredentialsFile
  // names (its folder made 0750 when missing) after the tasks succeeded.
  std::string scan_user, scan_domain, scan_password;  // "" = not given
  bool scan_password_given = false;
  FinishOptions finish{false, false, false, false};
  SetupPaths paths;
};

// Parses the options after "--headless". The error names the bad option.
Status ParseHeadlessOptions(const std::vector<std::string>& args, HeadlessOptions* options);

std::string HeadlessUsage();

// Runs setup. terminal: where questions are read from, or nullptr when no
// one is there to answer (the given, found or stored values are used).
int RunHeadless(const HeadlessOptions& options, Settings& settings, SetupDatabase& database,
                ProgramStarter& starter, std::ostream& out, std::istream* terminal);

}  // namespace tellwen::setup
