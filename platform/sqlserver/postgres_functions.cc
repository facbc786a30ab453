#include "platform/sqlserver/postgres_functions.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "platform/sqlserver/text_match.h"

namespace tellwen::sqlserver {

extern const char* const kPostgresFunctionsSql;

namespace {

// The advisory lock that installations take (any fixed number of ours).
constexpr int64_t kInstallLock = 0x7473716C6C6962;  // "tsqllib"

void Replace(std::string* text, std::string_view from, const std::string& to) {
  for (size_t at = text->find(from); at != std::string::npos; at = text->find(from, at)) {
    text->replace(at, from.size(), to);
    at += to.size();
  }
}

struct Library {
  std::vector<std::string> statements;
  std::string version;
};

Library BuildLibrary() {
  // Every code point beyond ASCII that FoldCase changes, and its image:
  // the translate() of tsql.fold_chars, exact by construction.
  std::vector<uint32_t> from, to;
  for (uint32_t cp = 0x80; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const uint32_t folded = FoldCase(cp);
    if (folded != cp) {
      from.push_back(cp);
      to.push_back(folded);
    }
  }
  std::string sql = kPostgresFunctionsSql;
  Replace(&sql, "{{FOLD_FROM}}", EncodeUtf8(from, 0, from.size()));
  Replace(&sql, "{{FOLD_TO}}", EncodeUtf8(to, 0, to.size()));

  // One statement is a line ending in ";" or a function up to its "$$;"
  // line; comment lines between statements are skipped.
  Library library;
  std::string current;
  bool in_body = false;
  size_t start = 0;
  while (start < sql.size()) {
    size_t end = sql.find('\n', start);
    if (end == std::string::npos) end = sql.size();
    const std::string_view line(sql.data() + start, end - start);
    start = end + 1;
    if (!in_body && current.empty() && (line.empty() || line.rfind("--", 0) == 0)) continue;
    current.append(line).push_back('\n');
    if (line.find("$$") != std::string_view::npos && line != "$$;") in_body = true;
    if ((in_body && line == "$$;") || (!in_body && !line.empty() && line.back() == ';')) {
      current.pop_back();  // the newline
      current.pop_back();  // the ";"
      library.statements.push_back(std::move(current));
      current.clear();
      in_body = false;
    }
  }

  // The version: FNV-1a (64 bits) of every statement.
  uint64_t h = 14695981039346656037ull;
  for (const std::string& s : library.statements) {
    for (unsigned char c : s) {
      h ^= c;
      h *= 1099511628211ull;
    }
    h ^= 0xFF;
    h *= 1099511628211ull;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
  library.version = hex;
  library.statements.push_back(
      "CREATE OR REPLACE FUNCTION tsql.library_version() RETURNS text LANGUAGE sql IMMUTABLE "
      "PARALLEL SAFE AS $$ SELECT '" +
      library.version + "'::text $$");
  return library;
}

const Library& TheLibrary() {
  static const Library library = BuildLibrary();
  return library;
}

// The installed library's version; "" when there is none.
std::string InstalledVersion(PostgresLink& link) {
  PostgresRows rows;
  link.Run("SELECT to_regprocedure('tsql.library_version()') IS NOT NULL", {}, &rows);
  if (rows.rows.empty() || rows.rows[0][0].i == 0) return "";
  link.Run("SELECT tsql.library_version()", {}, &rows);
  return rows.rows.empty() ? "" : rows.rows[0][0].s;
}

}  // namespace

const std::vector<std::string>& PostgresFunctionStatements() { return TheLibrary().statements; }

const std::string& PostgresFunctionsVersion() { return TheLibrary().version; }

void InstallPostgresFunctions(PostgresLink& link) {
  const Library& library = TheLibrary();
  if (InstalledVersion(link) == library.version) return;
  const bool own_transaction = !link.InTransaction();
  if (own_transaction) link.Run("BEGIN", {});
  try {
    // Another connection may have installed it while this one waited.
    link.Run("SELECT pg_advisory_xact_lock($1)", {Value::Int(kInstallLock)});
    if (InstalledVersion(link) != library.version) {
      for (const std::string& statement : library.statements) link.Run(statement, {});
    }
    if (own_transaction) link.Run("COMMIT", {});
  } catch (...) {
    if (own_transaction && link.InTransaction()) {
      try {
        link.Run("ROLLBACK", {});
      } catch (...) {
        // The first failure is the one to report.
      }
    }
    throw;
  }
}

}  // namespace tellwen::sqlserver
