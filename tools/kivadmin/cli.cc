#include "tools/kivadmin/cli.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <ostream>

#include "base/user_messages.h"

namespace tellwen::kivadmin {

namespace {

struct GroupUsage {
  const char* group;
  const char* lines;
};

constexpr GroupUsage kUsage[] = {
    {"show", "show [database|files|misc|security|web|scheduler] [--json]"},
    {"get", "get NAME"},
    {"set", "set NAME VALUE            (a password: set SqlPassword --password-file FILE)"},
    {"include",
     "include list [--json] | add ENTRY | remove ENTRY   (a computer, an address, "
     "or FROM-TO)"},
    {"exclude", "exclude list [--json] | add ENTRY | remove ENTRY"},
    {"categories",
     "categories list [--json] | add NAME PATTERNS | edit NAME NEWNAME PATTERNS |\n"
     "           remove NAME | up NAME | down NAME | reset"},
    {"quicklinks",
     "quicklinks list [--json] | add WORD DISPLAY LINK | edit ID WORD DISPLAY LINK |"
     " remove ID"},
    {"access", "access list [--json] | allow-all on|off | grant add|remove IP | ban add|remove IP"},
    {"members", "members list [--json] | add IP | remove IP | all on|off"},
    {"counter", "counter get | set N | reset"},
    {"service", "service status | start | stop"},
    {"banner", "banner show | set high|medium|low TEXT | erase"},
    {"schedule",
     "schedule show [--json] | scan SCHEDULE | update SCHEDULE | remove scan|update\n"
     "           SCHEDULE: once YYYY-MM-DD HH:MM | daily HH:MM | weekly DAY[,DAY] HH:MM"
     " |\n"
     "                     monthly N HH:MM | every N minutes|hours"},
    {"run", "run scan|update"},
    {"autoload-monitor", "autoload-monitor status | on | off"},
    {"test-database", "test-database"},
    {"scan-account",
     "scan-account show | set USER DOMAIN --password-file FILE | remove |"
     " test COMPUTER"},
};

class CliMessages final : public UserMessages {
 public:
  CliMessages(std::ostream& err, bool yes) : err_(err), yes_(yes) {}
  void Show(const std::string& text, MessageIcon) override { err_ << text << "\n" << std::flush; }
  bool AskYesNo(const std::string& text, MessageIcon) override {
    err_ << text << "\n"
         << (yes_ ? "--yes: yes" : "safe answer: no (--yes answers yes)") << "\n"
         << std::flush;
    return yes_;
  }

 private:
  std::ostream& err_;
  const bool yes_;
};

}  // namespace

std::string UsageText(const std::string& group) {
  std::string text;
  for (const GroupUsage& usage : kUsage) {
    if (group.empty() || group == usage.group) {
      text += std::string("  kivadmin ") + usage.lines + "\n";
    }
  }
  return text;
}

int Cli::Usage(const std::string& problem) const {
  err << "kivadmin: " << problem << "\nUsage:\n" << UsageText(group);
  return kBadCommandLine;
}

int Cli::Refuse(const std::string& message) const {
  err << message << "\n";
  return kRefused;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

void Cli::PrintList(const std::vector<std::string>& lines) const {
  if (!json) {
    for (const std::string& line : lines) out << line << "\n";
    return;
  }
  out << "[";
  for (size_t i = 0; i < lines.size(); ++i) out << (i == 0 ? "" : ", ") << JsonString(lines[i]);
  out << "]\n";
}

void Cli::PrintRows(const std::vector<std::pair<std::string, std::string>>& rows) const {
  if (!json) {
    for (const auto& [name, value] : rows) out << name << ": " << value << "\n";
    return;
  }
  out << "{";
  for (size_t i = 0; i < rows.size(); ++i) {
    out << (i == 0 ? "" : ", ") << JsonString(rows[i].first) << ": " << JsonString(rows[i].second);
  }
  out << "}\n";
}

void InstallCliMessages(std::ostream& err, bool yes) {
  SetUserMessages(std::make_shared<CliMessages>(err, yes));
}

std::string ReadFirstLine(const std::string& path, std::string* text) {
  std::ifstream in(path);
  if (!in) return "cannot read " + path;
  std::getline(in, *text);
  return "";
}

}  // namespace tellwen::kivadmin
