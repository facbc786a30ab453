// include, exclude, categories, access and members: the lists of the
// Network search dialog, the categories dialog, the Security page and the
// members dialog, one entry at a time, with the dialogs' rules. Each
// command stores its list at once (the dialogs store on their OK).
#include <algorithm>
#include <optional>
#include <ostream>

#include "admin/core/access_lists.h"
#include "admin/core/categories.h"
#include "admin/core/network_lists.h"
#include "base/user_messages.h"
#include "tools/kivadmin/commands.h"

namespace tellwen::kivadmin {

namespace {

// The words from index `from` on, joined by blanks (an entry such as
// "192.168.1.1 - 192.168.1.9" may come as one word or as three).
std::string Joined(const std::vector<std::string>& words, size_t from) {
  std::string text;
  for (size_t i = from; i < words.size(); ++i) text += (i == from ? "" : " ") + words[i];
  return text;
}

std::string Trimmed(const std::string& text) {
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

bool LooksLikeAddress(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789.") == std::string::npos;
}

// A dotted address as the address boxes take it; nullopt otherwise.
std::optional<admin::Octets> AddressOf(const std::string& text) {
  const admin::Octets octets = admin::ParseAddress(text);
  if (admin::FormatAddress(octets) != text) return std::nullopt;
  return octets;
}

// What an entry text stands for: a computer line, or a range FROM-TO whose
// two sides are addresses. *refused: the dialog's refusal, said already.
struct Entry {
  std::string line;  // as the list holds it
  admin::EntryKind kind = admin::EntryKind::kComputer;
};
std::optional<Entry> ParseEntry(const std::string& text, bool ask, bool* declined) {
  *declined = false;
  const size_t dash = text.find('-');
  const std::string from = Trimmed(text.substr(0, dash));
  const std::string to = dash == std::string::npos ? "" : Trimmed(text.substr(dash + 1));
  if (dash == std::string::npos || !LooksLikeAddress(from) || !LooksLikeAddress(to)) {
    return Entry{admin::NormaliseEntry(text, admin::EntryKind::kComputer),
                 admin::EntryKind::kComputer};
  }
  const std::optional<admin::Octets> first = AddressOf(from), last = AddressOf(to);
  if (!first || !last) {
    ShowMessage("IP range '" + from + "' - '" + to + "' is invalid!", MessageIcon::kError);
    return std::nullopt;
  }
  const admin::RangeCheck check = admin::CheckRange({*first, *last});
  if (check.refusal) {
    ShowMessage(check.refusal->text, check.refusal->icon);
    return std::nullopt;
  }
  if (ask && !check.question.empty() && !AskYesNo(check.question, MessageIcon::kQuestion)) {
    *declined = true;
    return std::nullopt;
  }
  return Entry{check.entry, check.kind};
}

// Removes line from lines; false when it is not there.
bool RemoveLine(std::vector<std::string>* lines, const std::string& line) {
  auto found = std::find(lines->begin(), lines->end(), line);
  if (found == lines->end()) return false;
  lines->erase(found);
  return true;
}

std::string NotThere(const std::string& line, const std::string& list_name) {
  return "'" + line + "' is not in the " + list_name + ".";
}

std::optional<bool> OnOff(const std::string& word) {
  if (word == "on") return true;
  if (word == "off") return false;
  return std::nullopt;
}

// An address of the Security page's and the members dialog's address boxes.
std::optional<std::string> CheckedAddress(Cli& cli, const std::string& text) {
  if (!AddressOf(text)) {
    cli.Refuse("'" + text + "' is not an IP address.");
    return std::nullopt;
  }
  return text;
}

// add or remove ip on lines, with the Security page's rule for list.
int EditAddressList(Cli& cli, const std::string& verb, const std::string& ip,
                    admin::AddressList list, const std::string& list_name,
                    std::vector<std::string>* lines) {
  const std::optional<std::string> address = CheckedAddress(cli, ip);
  if (!address) return kRefused;
  if (verb == "add") {
    bool add = false;
    if (std::optional<std::string> refusal = admin::CheckNewAddress(*address, list, *lines, &add)) {
      return cli.Refuse(*refusal);
    }
    if (add) lines->push_back(*address);
    return kDone;
  }
  if (verb == "remove") {
    return RemoveLine(lines, *address) ? kDone : cli.Refuse(NotThere(*address, list_name));
  }
  return cli.Usage("unknown " + cli.group + " command " + verb);
}

}  // namespace

int RunNetworkList(Cli& cli) {
  const bool include = cli.group == "include";
  const std::string list_name = include ? admin::kIncludeListName : admin::kExcludeListName;
  if (cli.args.empty()) return cli.Usage(cli.group + " needs a command");
  admin::NetworkSearch values = admin::LoadNetworkSearch(cli.settings);
  std::vector<std::string>& lines = include ? values.include : values.exclude;
  const std::string& verb = cli.args[0];
  if (verb == "list" && cli.args.size() == 1) {
    cli.PrintList(lines);
    return kDone;
  }
  if ((verb != "add" && verb != "remove") || cli.args.size() < 2) {
    return cli.Usage(cli.group + ": list, add ENTRY or remove ENTRY");
  }
  bool declined = false;
  const std::optional<Entry> entry = ParseEntry(Joined(cli.args, 1), verb == "add", &declined);
  if (!entry) return kRefused;
  if (verb == "add") {
    std::string line;
    if (std::optional<admin::Refusal> refusal =
            admin::CheckNewEntry(entry->line, entry->kind, list_name, lines, &line)) {
      ShowMessage(refusal->text, refusal->icon);
      return kRefused;
    }
    lines.push_back(line);
  } else if (!RemoveLine(&lines, entry->line)) {
    return cli.Refuse(NotThere(entry->line, list_name));
  }
  admin::StoreNetworkSearch(cli.settings, values);
  return kDone;
}

int RunCategories(Cli& cli) {
  if (cli.args.empty()) return cli.Usage("categories needs a command");
  std::vector<admin::CategoryRow> rows = admin::LoadCategories(cli.settings);
  const std::string& verb = cli.args[0];
  auto names_but = [&](int except) {
    std::vector<std::string> names;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (static_cast<int>(i) != except) names.push_back(rows[i].name);
    }
    return names;
  };
  auto index_of = [&](const std::string& name) {
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].name == name) return static_cast<int>(i);
    }
    return -1;
  };
  if (verb == "list" && cli.args.size() == 1) {
    if (!cli.json) {
      for (const admin::CategoryRow& row : rows) cli.out << row.name << ": " << row.search << "\n";
      return kDone;
    }
    cli.out << "[";
    for (size_t i = 0; i < rows.size(); ++i) {
      cli.out << (i == 0 ? "" : ", ") << "{\"name\": " << JsonString(rows[i].name)
              << ", \"patterns\": " << JsonString(rows[i].search) << "}";
    }
    cli.out << "]\n";
    return kDone;
  }
  if (verb == "reset" && cli.args.size() == 1) {
    rows = admin::DefaultCategories(cli.settings);
  } else if (verb == "add" && cli.args.size() == 3) {
    admin::CategoryRow row;
    if (auto refusal = admin::CheckCategory(cli.args[1], cli.args[2], names_but(-1), &row)) {
      return cli.Refuse(refusal->text);
    }
    rows.push_back(row);
  } else if ((verb == "edit" && cli.args.size() == 4) ||
             ((verb == "remove" || verb == "up" || verb == "down") && cli.args.size() == 2)) {
    const int index = index_of(cli.args[1]);
    if (index < 0) return cli.Refuse("There is no category '" + cli.args[1] + "'.");
    if (verb == "edit") {
      admin::CategoryRow row;
      if (auto refusal = admin::CheckCategory(cli.args[2], cli.args[3], names_but(index), &row)) {
        return cli.Refuse(refusal->text);
      }
      rows[index] = row;
    } else if (verb == "remove") {
      rows.erase(rows.begin() + index);
    } else {
      // As the arrows: a row at the edge stays where it is.
      const int other = index + (verb == "up" ? -1 : 1);
      if (other >= 0 && other < static_cast<int>(rows.size())) std::swap(rows[index], rows[other]);
    }
  } else {
    return cli.Usage("unknown categories command or wrong number of words");
  }
  admin::StoreCategories(cli.settings, rows);
  return kDone;
}

int RunAccess(Cli& cli) {
  if (cli.args.empty()) return cli.Usage("access needs a command");
  admin::SecurityValues values = admin::LoadSecurityValues(cli.settings);
  const std::string& verb = cli.args[0];
  if (verb == "list" && cli.args.size() == 1) {
    const char* mode = values.allow_all ? admin::kAllowAllText : admin::kGrantedOnlyText;
    if (cli.json) {
      auto array = [](const std::vector<std::string>& lines) {
        std::string text = "[";
        for (size_t i = 0; i < lines.size(); ++i)
          text += (i == 0 ? "" : ", ") + JsonString(lines[i]);
        return text + "]";
      };
      cli.out << "{\"allow_all\": " << (values.allow_all ? "true" : "false")
              << ", \"mode\": " << JsonString(mode)
              << ", \"restricted\": " << array(values.restricted)
              << ", \"granted\": " << array(values.granted) << "}\n";
      return kDone;
    }
    cli.out << "mode: " << mode << "\n";
    for (const std::string& ip : values.restricted) cli.out << "restricted: " << ip << "\n";
    for (const std::string& ip : values.granted) cli.out << "granted: " << ip << "\n";
    return kDone;
  }
  int result = kDone;
  if (verb == "allow-all" && cli.args.size() == 2 && OnOff(cli.args[1])) {
    values.allow_all = *OnOff(cli.args[1]);
  } else if ((verb == "grant" || verb == "ban") && cli.args.size() == 3) {
    const bool grant = verb == "grant";
    result = EditAddressList(cli, cli.args[1], cli.args[2],
                             grant ? admin::AddressList::kGranted : admin::AddressList::kRestricted,
                             grant ? "granted list" : "forbidden list",
                             grant ? &values.granted : &values.restricted);
  } else {
    return cli.Usage("unknown access command or wrong number of words");
  }
  if (result == kDone) admin::StoreSecurityValues(cli.settings, values);
  return result;
}

int RunMembers(Cli& cli) {
  if (cli.args.empty()) return cli.Usage("members needs a command");
  const std::string& verb = cli.args[0];
  if (verb == "list" && cli.args.size() == 1) {
    cli.PrintList(admin::LoadMembers(cli.settings));
    return kDone;
  }
  if (verb == "all" && cli.args.size() == 2 && OnOff(cli.args[1])) {
    admin::SecurityValues values = admin::LoadSecurityValues(cli.settings);
    values.all_are_members = *OnOff(cli.args[1]);
    admin::StoreSecurityValues(cli.settings, values);
    return kDone;
  }
  if ((verb == "add" || verb == "remove") && cli.args.size() == 2) {
    std::vector<std::string> members = admin::LoadMembers(cli.settings);
    const int result = EditAddressList(cli, verb, cli.args[1], admin::AddressList::kMembers,
                                       "members list", &members);
    if (result == kDone) admin::StoreMembers(cli.settings, members);
    return result;
  }
  return cli.Usage("unknown members command or wrong number of words");
}

}  // namespace tellwen::kivadmin
