// show, get and set: the pages' settings through admin/core/page_fields.h.
#include <ostream>

#include "admin/core/page_fields.h"
#include "tools/kivadmin/commands.h"

namespace tellwen::kivadmin {

namespace {

bool IsPage(const std::string& name) {
  for (const char* page : admin::kPageNames) {
    if (name == page) return true;
  }
  return false;
}

Rows PageRows(Cli& cli, const std::string& page) {
  Rows rows;
  for (const admin::PageField& field : admin::PageFields()) {
    if (field.page != page) continue;
    const std::string value = field.secret ? "(hidden)" : field.show(cli.settings);
    rows.emplace_back(field.setting, value);
  }
  if (page == "misc") rows.emplace_back("AutoloadKIVMonitor", AutoloadText());
  if (page == "scheduler") {
    const Rows scheduler = SchedulerRows(cli);
    rows.insert(rows.end(), scheduler.begin(), scheduler.end());
  }
  return rows;
}

std::string JsonObject(const Rows& rows) {
  std::string text = "{";
  for (size_t i = 0; i < rows.size(); ++i) {
    text += (i == 0 ? "" : ", ") + JsonString(rows[i].first) + ": " + JsonString(rows[i].second);
  }
  return text + "}";
}

int UnknownSetting(Cli& cli, const std::string& name) {
  return cli.Usage("no page shows a setting " + name +
                   " (kivadmin show lists them; kivreg reads and writes any setting)");
}

}  // namespace

int RunShow(Cli& cli) {
  if (cli.args.size() > 1 || (cli.args.size() == 1 && !IsPage(cli.args[0]))) {
    return cli.Usage("show takes one page or none");
  }
  if (cli.args.size() == 1) {
    cli.PrintRows(PageRows(cli, cli.args[0]));
    return kDone;
  }
  if (cli.json) {
    cli.out << "{";
    bool first = true;
    for (const char* page : admin::kPageNames) {
      cli.out << (first ? "" : ", ") << JsonString(page) << ": " << JsonObject(PageRows(cli, page));
      first = false;
    }
    cli.out << "}\n";
    return kDone;
  }
  for (const char* page : admin::kPageNames) {
    cli.out << "[" << page << "]\n";
    cli.PrintRows(PageRows(cli, page));
  }
  return kDone;
}

int RunGet(Cli& cli) {
  if (cli.args.size() != 1) return cli.Usage("get takes one setting");
  const admin::PageField* field = admin::FindPageField(cli.args[0]);
  if (field == nullptr) return UnknownSetting(cli, cli.args[0]);
  if (field->secret) return cli.Refuse(std::string(field->setting) + " is never shown.");
  cli.out << field->show(cli.settings) << "\n";
  return kDone;
}

int RunSet(Cli& cli) {
  if (cli.args.empty()) return cli.Usage("set takes a setting and a value");
  const admin::PageField* field = admin::FindPageField(cli.args[0]);
  if (field == nullptr) return UnknownSetting(cli, cli.args[0]);
  std::string value;
  if (field->secret) {
    // A secret never comes on a command line, where every account sees it.
    if (cli.args.size() != 1 || cli.password_file.empty()) {
      return cli.Usage(std::string(field->setting) + " is read from a file: set " + field->setting +
                       " --password-file FILE");
    }
    if (std::string problem = ReadFirstLine(cli.password_file, &value); !problem.empty()) {
      return cli.Refuse(problem);
    }
  } else {
    if (cli.args.size() != 2) return cli.Usage("set takes a setting and a value");
    value = cli.args[1];
  }
  const std::string refusal = field->store(cli.settings, value);
  if (refusal == admin::kDeclined) return kRefused;
  if (!refusal.empty()) return cli.Refuse(refusal);
  if (!field->secret) cli.out << field->setting << ": " << field->show(cli.settings) << "\n";
  return kDone;
}

}  // namespace tellwen::kivadmin
