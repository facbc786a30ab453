// Benchmark of name search: a generated LAN catalog (about 300 computers with
// typed shares of music, films, series, photos, documents, software and
// source; a skewed vocabulary of real words and a long tail of rare ones),
// loaded by the /updatedb code path, then spSearch called as the web calls
// it (dirs and files, all words, pages of 200) for six classes of searches:
// rare (1-10 hits), medium (hundreds), common, two words, underscore and
// bracket. In the same run the same searches go to spSearch with the
// substring indexes switched off (the scan), to an SQLite FTS5 trigram table
// of the same names (one open connection, prepared statement: the engine
// alone) and to `plocate -i` over the same paths (a process per search).
// Prints per class and engine the median in milliseconds and the ratios.
//
// usage: search_bench [entries]   (default 1000000; 5000000 for the large case;
// 3000 is a quick run that checks the bench still works: some classes find
// no search of their hit counts in so few names and are left out)
// Needs plocate and plocate-build (scripts/install-deps).
// KEEP=1 keeps the workspace; REUSE=<that folder> runs the searches again on
// it, without the update and the baselines' builds (same entries given).
// ONLY=<class> runs that class's searches alone (with PROFILE_SECONDS, to
// profile one class).
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/bench_workspace.h"
#include "bench/sqlite_baseline.h"
#include "common/db_session.h"
#include "common/kiv_registry.h"
#include "indexer/core/update_headless.h"
#include "indexer/core/update_job.h"
#include "query/command_params.h"
#include "query/search.h"
#include "query/text_utils.h"
#include "tests/query/search_form.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

const std::vector<std::string> kWords = {
    "the",       "love",      "night",    "live",     "world",   "time",    "day",     "blue",
    "life",      "heart",     "dream",    "man",      "girl",    "home",    "summer",  "rain",
    "fire",      "light",     "black",    "star",     "city",    "road",    "moon",    "sun",
    "song",      "dance",     "party",    "rock",     "baby",    "angel",   "river",   "winter",
    "story",     "war",       "king",     "queen",    "gold",    "soul",    "wild",    "sweet",
    "last",      "first",     "good",     "bad",      "new",     "old",     "little",  "big",
    "red",       "white",     "green",    "happy",    "lost",    "free",    "forever", "again",
    "morning",   "evening",   "ocean",    "mountain", "garden",  "house",   "street",  "train",
    "letter",    "report",    "budget",   "invoice",  "project", "meeting", "notes",   "draft",
    "final",     "review",    "plan",     "contract", "manual",  "guide",   "thesis",  "chapter",
    "holiday",   "wedding",   "birthday", "beach",    "family",  "trip",    "party",   "school",
    "christmas", "paris",     "london",   "rome",     "berlin",  "vienna",  "prague",  "bucharest",
    "server",    "client",    "parser",   "lexer",    "buffer",  "socket",  "thread",  "queue",
    "driver",    "setup",     "update",   "player",   "editor",  "viewer",  "codec",   "tools",
    "office",    "antivirus", "browser",  "compiler", "studio",  "toolkit", "library", "engine"};

const char* const kSyllables[] = {"ba", "ke", "ri", "to", "mu", "sa", "ne",  "lo", "vi",  "da",
                                  "po", "ze", "ga", "fi", "ru", "xo", "qua", "ly", "wen", "tor"};

class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  // A word: mostly from the skewed vocabulary, sometimes from the long tail.
  std::string Word() {
    if (Chance(0.12)) return Tail();
    // Zipf-like: rank r with weight 1/(r+1).
    static std::discrete_distribution<size_t> zipf = [] {
      std::vector<double> w;
      for (size_t r = 0; r < kWords.size(); ++r) w.push_back(1.0 / (r + 1));
      return std::discrete_distribution<size_t>(w.begin(), w.end());
    }();
    return kWords[zipf(rng_)];
  }
  // A rare made-up word (some 400,000 of them).
  std::string Tail() {
    std::string w;
    for (int i = 0; i < 4; ++i) w += kSyllables[Uniform(0, 19)];
    return w;
  }
  std::string Capital(std::string w) {
    if (!w.empty()) w[0] = static_cast<char>(toupper(w[0]));
    return w;
  }
  std::string Title(int min, int max) {
    std::string t;
    for (int n = Uniform(min, max); n > 0; --n) t += (t.empty() ? "" : " ") + Capital(Word());
    return t;
  }
  int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }

 private:
  std::mt19937 rng_;
};

struct Line {
  std::string computer, share, parent, folder, file;
  long size;
};

// Writes the index file (folders as "*" lines, then their files) and the
// plain path list for plocate; returns the names that were written (folder
// names and file names, as the search looks at them).
std::vector<std::string> WriteCatalog(long entries, const std::string& index,
                                      const std::string& paths) {
  Generator g(20061);
  std::ofstream out(index, std::ios::binary), list(paths, std::ios::binary);
  std::vector<std::string> names;
  names.reserve(entries + entries / 8);
  static const char* kTypes[] = {"music",     "films",    "series", "photos",
                                 "documents", "software", "source"};
  const int computers = 300;
  long written = 0;
  auto emit = [&](const Line& l) {
    out << l.computer << '\t' << l.share << '\t' << l.parent << '\t' << l.folder << '\t' << l.file
        << '\t' << l.size << "\r\n";
    std::string path = "/" + l.computer.substr(2) + "/" + l.share;
    if (!l.parent.empty()) path += "/" + l.parent;
    if (!l.folder.empty()) path += "/" + l.folder;
    if (l.file != "*") path += "/" + l.file;
    list << path << "\n";
    names.push_back(l.file == "*" ? l.folder : l.file);
    ++written;
  };
  for (int c = 0; written < entries; c = (c + 1) % computers) {
    const std::string computer = "//" + g.Capital(g.Tail()).substr(0, 5) + "-" + std::to_string(c);
    const int shares = g.Uniform(1, 4);
    for (int s = 0; s < shares && written < entries; ++s) {
      const std::string type = kTypes[g.Uniform(0, 6)];
      const std::string share = g.Chance(0.5) ? type : g.Capital(g.Word()) + " " + type;
      const int folders = g.Uniform(2, 30);
      for (int f = 0; f < folders && written < entries; ++f) {
        Line l{computer, share, "", "", "*", 0};
        std::string ext;
        if (type == "music") {
          l.parent = g.Title(1, 2);
          l.folder = g.Title(1, 3) + " (" + std::to_string(g.Uniform(1965, 2006)) + ")";
          ext = g.Chance(0.8) ? ".mp3" : ".ogg";
        } else if (type == "films") {
          l.parent = "";
          l.folder = g.Title(1, 3);
          ext = g.Chance(0.6) ? ".avi" : ".mkv";
        } else if (type == "series") {
          l.parent = g.Title(1, 2);
          l.folder = "Season " + std::to_string(g.Uniform(1, 9));
          ext = ".avi";
        } else if (type == "photos") {
          l.parent = std::to_string(g.Uniform(1998, 2006));
          l.folder = g.Capital(g.Word()) + " " + g.Capital(g.Word());
          ext = ".JPG";
        } else if (type == "documents") {
          l.parent = g.Chance(0.5) ? "work" : "private";
          l.folder = g.Capital(g.Word());
          ext = g.Chance(0.5) ? ".doc" : ".pdf";
        } else if (type == "software") {
          l.parent = "";
          l.folder = g.Capital(g.Word()) + " " + g.Capital(g.Word());
          ext = ".exe";
        } else {
          l.parent = g.Word() + "/src";
          l.folder = g.Word();
          ext = g.Chance(0.6) ? ".cpp" : ".h";
        }
        emit(l);
        const int files = g.Uniform(3, 40);
        for (int k = 0; k < files && written < entries; ++k) {
          Line file = l;
          char num[16];
          snprintf(num, sizeof num, "%02d", k + 1);
          if (type == "music") {
            file.file = std::string(num) + " - " + g.Title(1, 4) + ext;
          } else if (type == "films") {
            static const char* kTags[] = {"[1080p]", "[720p]", "[DVDRip]", "[Extended]"};
            file.file = g.Title(1, 3) + " (" + std::to_string(g.Uniform(1950, 2006)) + ") " +
                        kTags[g.Uniform(0, 3)] + ext;
          } else if (type == "series") {
            file.file =
                l.parent + ".S0" + l.folder.substr(7) + "E" + num + "." + g.Title(1, 3) + ext;
          } else if (type == "photos") {
            file.file = "IMG_" + std::to_string(g.Uniform(1000, 9999)) + ext;
          } else if (type == "documents") {
            file.file = g.Word() + "_" + g.Word() + (g.Chance(0.3) ? "_final" : "") + ext;
          } else if (type == "software") {
            file.file = g.Word() + "_setup_v" + std::to_string(g.Uniform(1, 9)) + "." +
                        std::to_string(g.Uniform(0, 9)) + ext;
          } else {
            file.file = g.Word() + "_" + g.Word() + ext;
          }
          file.size = g.Uniform(1, 700000);
          emit(file);
        }
      }
    }
  }
  return names;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

// How many of the names (in lower case) hold every word, in any case.
size_t CountContaining(const std::vector<std::string>& lower_names,
                       const std::vector<std::string>& words) {
  std::vector<std::string> lower_words;
  for (const std::string& word : words) lower_words.push_back(Lower(word));
  size_t n = 0;
  for (const std::string& name : lower_names) {
    bool all = true;
    for (const std::string& x : lower_words) all = all && name.find(x) != std::string::npos;
    n += all;
  }
  return n;
}

struct Query {
  std::string cls, search;
  size_t hits = 0;
};

// Searches per class, picked by their hit counts in the generated names.
std::vector<Query> PickQueries(const std::vector<std::string>& names, long entries) {
  std::vector<Query> queries;
  std::vector<std::string> lower_names;
  lower_names.reserve(names.size());
  for (const std::string& name : names) lower_names.push_back(Lower(name));
  Generator g(7);
  auto add_where = [&](const std::string& cls, size_t lo, size_t hi, int want,
                       const std::function<std::string()>& make) {
    int found = 0;
    for (int tries = 0; tries < 4000 && found < want; ++tries) {
      const std::string s = make();
      std::vector<std::string> words;
      size_t start = 0;
      while (start <= s.size()) {
        size_t blank = s.find(' ', start);
        if (blank == std::string::npos) blank = s.size();
        if (blank > start) words.push_back(s.substr(start, blank - start));
        start = blank + 1;
      }
      const size_t n = CountContaining(lower_names, words);
      if (n >= lo && n <= hi) {
        queries.push_back({cls, s, n});
        ++found;
      }
    }
  };
  const double scale = static_cast<double>(entries) / 1000000.0;
  add_where("rare", 1, 10, 5, [&] { return g.Tail(); });
  add_where("medium", 100, 999, 5, [&] { return g.Tail().substr(0, 5); });
  add_where("common", static_cast<size_t>(5000 * scale), 1u << 30, 5,
            [&] { return kWords[g.Uniform(0, 40)]; });
  add_where("two words", 50, static_cast<size_t>(5000 * scale), 5, [&] {
    return kWords[g.Uniform(0, 60)] + " " +
           kWords[g.Uniform(40, static_cast<int>(kWords.size()) - 1)];
  });
  add_where("underscore", 1, 1u << 30, 5, [&] {
    return kWords[g.Uniform(60, static_cast<int>(kWords.size()) - 1)] + "_" +
           kWords[g.Uniform(0, static_cast<int>(kWords.size()) - 1)];
  });
  add_where("bracket", 1, 1u << 30, 3, [&] {
    static const char* kTags[] = {"[1080p]", "[720p]", "[dvdrip]", "[extended]", "d) [7"};
    return std::string(kTags[g.Uniform(0, 4)]);
  });
  return queries;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Set when a timed call failed: a failed call is quick, and the figures
// that hold it say nothing.
bool failed_calls = false;

// spSearch as the web builds it: dirs and files, all words, the first page
// of 200, and no log rows of its own (the site writes those apart, grouped
// with other pages' log rows; web_bench times them).
double TimeSpSearch(const std::string& search, bool indexed, size_t* rows) {
  setenv("TELLWEN_SQL_SUBSTRING_INDEX", indexed ? "on" : "off", 1);
  tellwen::query::CommandParams p = tellwen::testing::SearchForm(search, "all words");
  p.pagesize = "200";
  const tellwen::query::SearchPlan plan = tellwen::query::PlanSearch(search, p, "");
  static int id = 0;
  const std::string call = tellwen::query::SpSearchCall(plan, search, false, "2002-02-15 10:00:00",
                                                        std::to_string(100000 + ++id),
                                                        /*log_query=*/false);
  const auto begin = Clock::now();
  tellwen::SqlResult result = tellwen::RunSql(call, 10, tellwen::SqlCaller::kQuerySearch);
  const double ms = Ms(Clock::now() - begin);
  if (result.error) {
    std::cerr << "spSearch failed: " << result.error_text << "\n";
    failed_calls = true;
  }
  *rows = result.rows.size();
  return ms;
}

// The work of every spSearch call that does not depend on the names: a
// call with nothing to search in (the web's call with shares, folders and
// files all off), and a connection that runs "select 1".
double TimeFixedCost(bool connection_only) {
  static int id = 0;
  const std::string call =
      connection_only ? std::string("select 1")
                      : "spSearch '0', '200', '0', '2147483647', 0, 0, 0, '', '', '', '0', 'x', "
                        "'2002-02-15 10:00:00', '" +
                            std::to_string(900000 + ++id) + "', '', 0";
  const auto begin = Clock::now();
  tellwen::SqlResult result = tellwen::RunSql(call, 1, tellwen::SqlCaller::kQuerySearch);
  const double ms = Ms(Clock::now() - begin);
  if (result.error) {
    std::cerr << (connection_only ? "select 1" : "spSearch") << " failed: " << result.error_text
              << "\n";
    failed_calls = true;
  }
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  const long entries = argc > 1 ? std::atol(argv[1]) : 1000000;
  const char* reuse = std::getenv("REUSE");
  std::string dir;
  if (reuse) {
    dir = reuse;
    setenv("TELLWEN_REGISTRY", (dir + "/registry").c_str(), 1);
    setenv("TELLWEN_DATA", (dir + "/data").c_str(), 1);
  } else {
    dir = tellwen::bench::MakeBenchWorkspace("tellwen-search-bench");
    if (dir.empty()) return 1;
    tellwen::CKIVRegistry().SetValue("CategoriesEdit", "0");
  }

  std::printf("catalog: %ld entries in %s\n", entries, dir.c_str());
  const std::vector<std::string> names =
      WriteCatalog(entries, dir + "/kivtmp.txt", dir + "/paths.txt");
  sqlite3* fts = nullptr;
  bool have_plocate = false;
  if (reuse) {
    fts = tellwen::bench::OpenSqliteBaseline(dir + "/fts.sqlite", "PRAGMA mmap_size=1073741824");
    if (!fts) return 1;
    have_plocate = access((dir + "/plocate.db").c_str(), R_OK) == 0;
  } else {
    // The update, as /updatedb runs it.
    auto begin = Clock::now();
    {
      std::ofstream rows(dir + "/rows.txt");
      tellwen::indexer::HeadlessUpdateDriver driver(rows, false);
      tellwen::indexer::UpdateJobOptions options;
      options.silent = true;
      tellwen::RegistrySettings job_settings;
      if (tellwen::indexer::RunUpdateJob(options, driver, job_settings) !=
          tellwen::indexer::UpdateJobOutcome::kSucceeded) {
        std::cerr << "the update did not complete; see " << dir << "/sql_log.txt\n";
        return 1;
      }
    }
    std::printf("update (/updatedb): %.1f s\n", Ms(Clock::now() - begin) / 1000);
    tellwen::SqlResult size =
        tellwen::RunSql("select sum(pgsize) from dbstat where name like '_tsql_sub%'", 1,
                        tellwen::SqlCaller::kQueryRowReader);
    struct stat st {};
    stat((dir + "/data/kiv.sqlite").c_str(), &st);
    std::printf("catalog file: %.1f MiB, of it substring indexes: %s\n", st.st_size / 1048576.0,
                size.rows.empty() ? "?" : size.rows[0][0].c_str());

    // The baselines: an FTS5 trigram table of the same names, plocate of the paths.
    fts = tellwen::bench::OpenSqliteBaseline(
        dir + "/fts.sqlite",
        "PRAGMA journal_mode=OFF; PRAGMA mmap_size=1073741824;"
        "CREATE VIRTUAL TABLE t USING fts5(name, tokenize='trigram'); BEGIN");
    if (!fts) return 1;
    {
      sqlite3_stmt* insert = nullptr;
      sqlite3_prepare_v2(fts, "INSERT INTO t(name) VALUES (?)", -1, &insert, nullptr);
      for (const std::string& name : names) {
        sqlite3_bind_text(insert, 1, name.c_str(), static_cast<int>(name.size()), SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
      }
      sqlite3_finalize(insert);
    }
    sqlite3_exec(fts, "COMMIT; INSERT INTO t(t) VALUES ('optimize')", nullptr, nullptr, nullptr);
    struct stat fst {};
    stat((dir + "/fts.sqlite").c_str(), &fst);
    std::printf("FTS5 trigram table of the names: %.1f MiB\n", fst.st_size / 1048576.0);
    have_plocate =
        std::system(("plocate-build -p " + dir + "/paths.txt " + dir + "/plocate.db").c_str()) == 0;
    if (!have_plocate) std::printf("plocate-build failed: no plocate figures\n");
  }

  sqlite3_stmt* match = nullptr;
  sqlite3_prepare_v2(fts, "SELECT rowid, name FROM t WHERE t MATCH ? ORDER BY rowid LIMIT 200", -1,
                     &match, nullptr);
  auto time_fts = [&](const std::string& search) {
    std::string q;
    for (const std::string& word : tellwen::query::SplitText(search, ' ')) {
      q += q.empty() ? "\"" : " AND \"";
      q += word;
      q += "\"";
    }
    const auto b = Clock::now();
    sqlite3_bind_text(match, 1, q.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(match) == SQLITE_ROW) {
    }
    sqlite3_reset(match);
    return Ms(Clock::now() - b);
  };
  auto time_plocate = [&](const std::string& search) {
    std::string args;
    for (std::string w : tellwen::query::SplitText(search, ' ')) {
      // A bracket would make the word a glob: escaped, inside "*...*".
      if (w.find('[') != std::string::npos) {
        std::string e = "*";
        for (char c : w) {
          if (c == '[' || c == ']') e += '\\';
          e += c;
        }
        w = e + "*";
      }
      args += " '" + w + "'";
    }
    const auto b = Clock::now();
    std::system(("plocate -i -l 200 -d " + dir + "/plocate.db" + args + " > /dev/null").c_str());
    return Ms(Clock::now() - b);
  };

  std::vector<Query> queries = PickQueries(names, entries);
  if (const char* only = std::getenv("ONLY")) {
    queries.erase(std::remove_if(queries.begin(), queries.end(),
                                 [&](const Query& q) { return q.cls != only; }),
                  queries.end());
  }
  std::map<std::string, std::vector<double>> per[4];  // indexed, scan, fts, plocate
  std::vector<std::string> order;
  std::printf("\n%-11s %-22s %8s %6s %9s %9s %9s %9s\n", "class", "search", "hits", "page",
              "spSearch", "scan", "fts5", "plocate");
  for (const Query& q : queries) {
    if (std::find(order.begin(), order.end(), q.cls) == order.end()) order.push_back(q.cls);
    std::vector<double> t[4];
    size_t rows = 0;
    for (int rep = 0; rep < 3; ++rep) {
      t[0].push_back(TimeSpSearch(q.search, true, &rows));
      t[1].push_back(TimeSpSearch(q.search, false, &rows));
      t[2].push_back(time_fts(q.search));
      if (have_plocate) t[3].push_back(time_plocate(q.search));
    }
    double m[4];
    for (int e = 0; e < 4; ++e) {
      m[e] = Median(t[e]);
      per[e][q.cls].push_back(m[e]);
    }
    std::printf("%-11s %-22.22s %8zu %6zu %9.1f %9.1f %9.1f %9.1f\n", q.cls.c_str(),
                q.search.c_str(), q.hits, rows, m[0], m[1], m[2], m[3]);
  }
  std::printf("\nmedian per class, ms (ratios: spSearch / other engine)\n");
  std::printf("%-11s %9s %9s %9s %9s %11s %11s %11s\n", "class", "spSearch", "scan", "fts5",
              "plocate", "sp/scan", "sp/fts5", "sp/plocate");
  std::vector<double> all[4];
  for (const std::string& cls : order) {
    double m[4];
    for (int e = 0; e < 4; ++e) {
      m[e] = Median(per[e][cls]);
      all[e].insert(all[e].end(), per[e][cls].begin(), per[e][cls].end());
    }
    std::printf("%-11s %9.1f %9.1f %9.1f %9.1f %11.2f %11.2f %11.2f\n", cls.c_str(), m[0], m[1],
                m[2], m[3], m[0] / m[1], m[0] / m[2], m[3] > 0 ? m[0] / m[3] : 0.0);
  }
  double m[4];
  for (int e = 0; e < 4; ++e) m[e] = Median(all[e]);
  std::printf("%-11s %9.1f %9.1f %9.1f %9.1f %11.2f %11.2f %11.2f\n", "all", m[0], m[1], m[2], m[3],
              m[0] / m[1], m[0] / m[2], m[3] > 0 ? m[0] / m[3] : 0.0);
  std::printf("aim: spSearch within 1.5x of fts5 and under 25 ms at 1,000,000 entries\n");

  // What of spSearch is the name search: its time less the fixed cost.
  setenv("TELLWEN_SQL_SUBSTRING_INDEX", "on", 1);
  std::vector<double> fixed, connect;
  for (int i = 0; i < 21; ++i) {
    fixed.push_back(TimeFixedCost(false));
    connect.push_back(TimeFixedCost(true));
  }
  const double fixed_ms = Median(fixed);
  std::printf(
      "\nfixed cost of a call, median of 21: %.2f ms (of it a connection running "
      "\"select 1\": %.2f ms)\n",
      fixed_ms, Median(connect));
  std::printf("%-11s %14s %9s %15s\n", "class", "sp less fixed", "fts5", "(sp-fixed)/fts5");
  for (const std::string& cls : order) {
    const double sp = Median(per[0][cls]) - fixed_ms, fts5 = Median(per[2][cls]);
    std::printf("%-11s %14.1f %9.1f %15.2f\n", cls.c_str(), sp, fts5, sp / fts5);
  }
  // PROFILE_SECONDS=n: spSearch over the same searches for n more seconds,
  // for a profiler to attach to (perf record -p <pid>).
  if (const char* profile = std::getenv("PROFILE_SECONDS")) {
    std::printf("\nprofiling: spSearch in a loop for %s s, pid %d\n", profile, getpid());
    std::fflush(stdout);
    const auto until = Clock::now() + std::chrono::seconds(std::atoi(profile));
    size_t rows = 0;
    while (Clock::now() < until) {
      for (const Query& q : queries) TimeSpSearch(q.search, true, &rows);
    }
  }
  sqlite3_finalize(match);
  sqlite3_close(fts);
  if (!std::getenv("KEEP") && !reuse) std::system(("rm -rf " + dir).c_str());
  return failed_calls ? 1 : 0;
}
