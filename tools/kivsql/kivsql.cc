#include "tools/kivsql/kivsql.h"

#include <strings.h>

#include <fstream>
#include <optional>
#include <sstream>

#include "base/int_text.h"
#include "common/db_session.h"

namespace tellwen {
namespace {

constexpr const char* kUsage =
    "usage: kivsql [-S server] [-d database] [-U user] [-P password] [-t seconds]\n"
    "              (-Q \"batch\" | -i file)\n"
    "Runs T-SQL on the Tellwen database. Missing options (and the engine)\n"
    "come from the settings store.\n"
    "Prints the first row set of each batch: fields separated by TAB, no header.\n"
    "-t: longest run of one batch in seconds (0: no limit; default 36000).\n";

// A long command timeout by default: an administrator's statement may run
// for a while.
constexpr SqlTimeouts kShellTimeouts{30, 36000};

// A whole number of seconds in [0, 65535], as sqlcmd takes it.
bool ParseSeconds(const std::string& text, int* seconds) {
  std::uint64_t value = 0;
  if (!ParseDigits(text, 5, &value) || value > 65535) return false;
  *seconds = static_cast<int>(value);
  return true;
}

}  // namespace

std::vector<std::string> SplitBatches(const std::string& script) {
  std::vector<std::string> batches;
  std::string current;
  std::istringstream in(script);
  std::string line;
  auto flush = [&] {
    if (current.find_first_not_of(" \t\r\n") != std::string::npos) batches.push_back(current);
    current.clear();
  };
  while (std::getline(in, line)) {
    std::string t = line;
    while (!t.empty() && (t.back() == '\r' || t.back() == ' ' || t.back() == '\t')) t.pop_back();
    size_t a = t.find_first_not_of(" \t");
    t = a == std::string::npos ? "" : t.substr(a);
    if (strcasecmp(t.c_str(), "go") == 0) {
      flush();
    } else {
      current += line;
      current += "\n";
    }
  }
  flush();
  return batches;
}

int RunKivSql(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::optional<std::string> server, database, user, password, query, file;
  SqlTimeouts timeouts = kShellTimeouts;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-?" || a == "-h") {
      out << kUsage;
      return 0;
    }
    if (i + 1 >= args.size()) {
      err << kUsage;
      return 2;
    }
    const std::string& v = args[++i];
    if (a == "-S")
      server = v;
    else if (a == "-d")
      database = v;
    else if (a == "-U")
      user = v;
    else if (a == "-P")
      password = v;
    else if (a == "-Q")
      query = v;
    else if (a == "-i")
      file = v;
    else if (a == "-t") {
      if (!ParseSeconds(v, &timeouts.command_seconds)) {
        err << "kivsql: -t takes a number of seconds from 0 to 65535\n" << kUsage;
        return 2;
      }
    } else {
      err << kUsage;
      return 2;
    }
  }
  if (query.has_value() == file.has_value()) {
    err << kUsage;
    return 2;
  }
  std::vector<std::string> batches;
  if (query) {
    batches.push_back(*query);
  } else {
    std::ifstream in(*file, std::ios::binary);
    if (!in) {
      err << "kivsql: cannot read " << *file << "\n";
      return 1;
    }
    std::stringstream buffer;
    buffer << in.rdbuf();
    batches = SplitBatches(buffer.str());
  }
  // The stored values, the engine among them, under what the options give.
  SqlConnectionSettings settings = ReadConnectionSettings();
  if (server) settings.server = *server;
  if (database) settings.database = *database;
  if (user) settings.user = *user;
  if (password) settings.password = *password;
  for (const std::string& batch : batches) {
    // Ask for every column: RunSqlOn reads the first n, so find n first.
    SqlResult result = RunSqlOn(settings, batch, -1, timeouts);
    if (result.error) {
      err << result.error_text << "\n";
      return 1;
    }
    for (const SqlRow& row : result.rows) {
      for (size_t i = 0; i < row.size(); ++i) {
        if (i) out << '\t';
        out << row[i];
      }
      out << '\n';
    }
  }
  out.flush();
  return 0;
}

}  // namespace tellwen
