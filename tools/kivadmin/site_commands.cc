// quicklinks, counter, service, banner, test-database and scan-account: the
// Web page's buttons and dialogs, the Database page's test and the Network
// search dialog's account box.
#include <ostream>

#include "admin/core/database_settings.h"
#include "admin/core/page_fields.h"
#include "admin/core/quick_links_table.h"
#include "admin/core/scan_account.h"
#include "admin/core/web_values.h"
#include "base/user_messages.h"
#include "common/sql_session.h"
#include "platform/net/smb_network.h"
#include "tools/kivadmin/commands.h"

namespace tellwen::kivadmin {

namespace {

// Stores value through the page's row of setting (its rule and question).
int StoreThroughPage(Cli& cli, const char* setting, const std::string& value) {
  const std::string refusal = admin::FindPageField(setting)->store(cli.settings, value);
  if (refusal == admin::kDeclined) return kRefused;
  if (!refusal.empty()) return cli.Refuse(refusal);
  return kDone;
}

int Failed(Cli& cli, const Status& status) { return cli.Refuse(status.message()); }

}  // namespace

int RunQuickLinks(Cli& cli) {
  if (cli.args.empty()) return cli.Usage("quicklinks needs a command");
  admin::QuickLinksTable table(MachineSql());
  if (Status loaded = table.Load(); !loaded.ok()) return Failed(cli, loaded);
  const std::string& verb = cli.args[0];
  auto row_of = [&](const std::string& id) {
    for (size_t i = 0; i < table.rows().size(); ++i) {
      if (table.rows()[i].id == id) return static_cast<int>(i);
    }
    return -1;
  };
  if (verb == "list" && cli.args.size() == 1) {
    if (cli.json) cli.out << "[";
    bool first = true;
    for (const admin::QuickLink& link : table.rows()) {
      if (cli.json) {
        cli.out << (first ? "" : ", ") << "{\"id\": " << JsonString(link.id)
                << ", \"word\": " << JsonString(link.word)
                << ", \"display\": " << JsonString(link.display)
                << ", \"link\": " << JsonString(link.link) << "}";
      } else {
        cli.out << link.id << "\t" << link.word << "\t" << link.display << "\t" << link.link
                << "\n";
      }
      first = false;
    }
    if (cli.json) cli.out << "]\n";
    return kDone;
  }
  size_t row = 0;
  if (verb == "add" && cli.args.size() == 4) {
    row = table.AddRow();
  } else if ((verb == "edit" && cli.args.size() == 5) ||
             (verb == "remove" && cli.args.size() == 2)) {
    const int found = row_of(cli.args[1]);
    if (found < 0) return cli.Refuse("There is no quick link with id " + cli.args[1] + ".");
    row = static_cast<size_t>(found);
    if (verb == "remove") {
      const Status deleted = table.DeleteRow(row);
      return deleted.ok() ? kDone : Failed(cli, deleted);
    }
  } else {
    return cli.Usage("unknown quicklinks command or wrong number of words");
  }
  const size_t first_text = verb == "add" ? 1 : 2;
  for (int column = 0; column < 3; ++column) {
    table.Edit(row, column, cli.args[first_text + static_cast<size_t>(column)]);
  }
  if (Status committed = table.CommitRow(row); !committed.ok()) return Failed(cli, committed);
  if (verb == "add") cli.out << table.rows()[row].id << "\n";
  return kDone;
}

int RunCounter(Cli& cli) {
  const std::vector<std::string>& a = cli.args;
  if (a.size() == 1 && a[0] == "get") {
    cli.out << admin::CounterToShow(cli.settings.GetValue("WebCounter")) << "\n";
    return kDone;
  }
  if (a.size() == 2 && a[0] == "set") return StoreThroughPage(cli, "WebCounter", a[1]);
  if (a.size() == 1 && a[0] == "reset") {
    if (!AskYesNo(admin::kResetCounterQuestion)) return kRefused;
    cli.settings.SetValue("WebCounter", "0");
    return kDone;
  }
  return cli.Usage("counter: get, set N or reset");
}

int RunService(Cli& cli) {
  const std::vector<std::string>& a = cli.args;
  if (a.size() == 1 && a[0] == "status") {
    cli.out << admin::ViewWebStatus(cli.settings.GetValue("WebStatus")).label << "\n";
    return kDone;
  }
  if (a.size() == 1 && (a[0] == "start" || a[0] == "stop")) {
    return StoreThroughPage(cli, "WebStatus", a[0] == "start" ? "yes" : "no");
  }
  return cli.Usage("service: status, start or stop");
}

int RunBanner(Cli& cli) {
  const std::vector<std::string>& a = cli.args;
  if (a.size() == 1 && a[0] == "show") {
    cli.PrintRows({{"FirstPageInfoSeverity",
                    admin::FindPageField("FirstPageInfoSeverity")->show(cli.settings)},
                   {"FirstPageInfo", cli.settings.GetValue("FirstPageInfo")}});
    return kDone;
  }
  if (a.size() == 3 && a[0] == "set") {
    if (int result = StoreThroughPage(cli, "FirstPageInfoSeverity", a[1]); result != kDone) {
      return result;
    }
    return StoreThroughPage(cli, "FirstPageInfo", a[2]);
  }
  if (a.size() == 1 && a[0] == "erase")
    return StoreThroughPage(cli, "FirstPageInfo", admin::kNoFirstPageInfo);
  return cli.Usage("banner: show, set SEVERITY TEXT or erase");
}

int RunTestDatabase(Cli& cli) {
  if (!cli.args.empty()) return cli.Usage("test-database takes no words");
  cli.out << admin::kTestingConnection << "\n" << std::flush;
  const admin::ConnectionTestResult result =
      admin::RunConnectionTest(admin::LoadDatabaseValues(cli.settings));
  (result.passed ? cli.out : cli.err) << result.text << "\n";
  return result.passed ? kDone : kRefused;
}

int RunScanAccount(Cli& cli) {
  const std::vector<std::string>& a = cli.args;
  if (a.size() == 1 && a[0] == "show") {
    const admin::ScanAccountShown shown = admin::LoadScanAccountBox(cli.settings);
    if (!shown.problem.empty()) return cli.Refuse(shown.problem);
    cli.PrintRows({{"ScanCredentialsFile", shown.file},
                   {"User", shown.user.empty() ? "(none: guest only)" : shown.user},
                   {"Domain", shown.domain}});
    return kDone;
  }
  if (a.size() == 3 && a[0] == "set") {
    // The password never comes on the command line.
    if (cli.password_file.empty()) return cli.Usage("scan-account set needs --password-file FILE");
    std::string password;
    if (std::string problem = ReadFirstLine(cli.password_file, &password); !problem.empty()) {
      return cli.Refuse(problem);
    }
    if (password.empty()) return cli.Refuse("Type the account's password.");
    const std::string problem = admin::StoreScanAccountBox(cli.settings, {a[1], a[2], password});
    return problem.empty() ? kDone : cli.Refuse(problem);
  }
  if (a.size() == 1 && a[0] == "remove") {
    const std::string problem = admin::StoreScanAccountBox(cli.settings, {"", "", ""});
    return problem.empty() ? kDone : cli.Refuse(problem);
  }
  if (a.size() == 2 && a[0] == "test") {
    const admin::ScanAccountShown shown = admin::LoadScanAccountBox(cli.settings);
    if (!shown.problem.empty()) return cli.Refuse(shown.problem);
    if (shown.user.empty())
      return cli.Refuse("There is no scan account: kivadmin scan-account set");
    net::NetAccount account;
    if (std::string problem =
            admin::AccountOfBox(cli.settings, {shown.user, shown.domain, ""}, &account);
        !problem.empty()) {
      return cli.Refuse(problem);
    }
    net::SmbNetwork network;
    const admin::ScanAccountTest result = admin::TestScanAccount(network, account, a[1]);
    (result.listed ? cli.out : cli.err) << result.text << "\n";
    return result.listed ? kDone : kRefused;
  }
  return cli.Usage(
      "scan-account: show, set USER DOMAIN --password-file FILE, remove or test "
      "COMPUTER");
}

}  // namespace tellwen::kivadmin
