// kivadmin: every page of the administrator from a shell, for a server
// without a display. Each command reads the settings afresh, applies the
// rule the page applies (admin/core), writes what the page's OK writes and
// says what the page says; see cli.h for the exit codes.
#include <iostream>
#include <string>
#include <vector>

#include "base/keyed_table.h"
#include "tools/kivadmin/commands.h"

namespace {

using tellwen::kivadmin::Cli;

using Handler = int (*)(Cli&);
constexpr tellwen::KeyedValue<std::string_view, Handler> kGroups[] = {
    {"show", tellwen::kivadmin::RunShow},
    {"get", tellwen::kivadmin::RunGet},
    {"set", tellwen::kivadmin::RunSet},
    {"include", tellwen::kivadmin::RunNetworkList},
    {"exclude", tellwen::kivadmin::RunNetworkList},
    {"categories", tellwen::kivadmin::RunCategories},
    {"quicklinks", tellwen::kivadmin::RunQuickLinks},
    {"access", tellwen::kivadmin::RunAccess},
    {"members", tellwen::kivadmin::RunMembers},
    {"counter", tellwen::kivadmin::RunCounter},
    {"service", tellwen::kivadmin::RunService},
    {"banner", tellwen::kivadmin::RunBanner},
    {"schedule", tellwen::kivadmin::RunSchedule},
    {"run", tellwen::kivadmin::RunRunJob},
    {"autoload-monitor", tellwen::kivadmin::RunAutoloadMonitor},
    {"test-database", tellwen::kivadmin::RunTestDatabase},
    {"scan-account", tellwen::kivadmin::RunScanAccount},
};

void PrintHelp() {
  std::cout << "Usage: kivadmin [--json] [--yes] COMMAND ...\n"
               "Reads and changes Tellwen's settings with the administrator's rules.\n"
               "  --json  list and show print JSON\n"
               "  --yes   answer the administrator's yes/no questions with yes (without it\n"
               "          the safe answer, no, is taken and said)\n"
               "Commands:\n"
            << tellwen::kivadmin::UsageText("")
            << "Exit status: 0 done, 1 refused (the reason on stderr), 2 bad command line.\n";
}

}  // namespace

int main(int argc, char** argv) {
  tellwen::RegistrySettings settings;
  Cli cli{"", {}, false, false, "", settings, std::cout, std::cerr};
  bool flags_end = false;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (!flags_end && word == "--") {
      flags_end = true;
    } else if (!flags_end && word == "--json") {
      cli.json = true;
    } else if (!flags_end && word == "--yes") {
      cli.yes = true;
    } else if (!flags_end && (word == "--help" || word == "-h")) {
      PrintHelp();
      return tellwen::kivadmin::kDone;
    } else if (!flags_end && word == "--password-file") {
      if (i + 1 >= argc) return cli.Usage("--password-file needs a file");
      cli.password_file = argv[++i];
    } else if (!flags_end && word.size() > 2 && word.compare(0, 2, "--") == 0) {
      return cli.Usage("unknown option " + word);
    } else if (cli.group.empty()) {
      cli.group = word;
    } else {
      cli.args.push_back(word);
    }
  }
  if (cli.group.empty()) {
    PrintHelp();
    return tellwen::kivadmin::kBadCommandLine;
  }
  const Handler handler = tellwen::LookUp(kGroups, std::string_view(cli.group), Handler{nullptr});
  if (handler == nullptr) {
    const std::string group = cli.group;
    cli.group.clear();
    return cli.Usage("unknown command " + group);
  }
  tellwen::kivadmin::InstallCliMessages(std::cerr, cli.yes);
  return handler(cli);
}
