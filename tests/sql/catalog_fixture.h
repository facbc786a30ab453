// Test support for the update script on the embedded SQL server (or on a
// PostgreSQL server, see OnPostgres): a scratch
// settings store and data folder with the database "kiv", index files written
// by the test, the update job run headless, and helpers that read the
// catalog back as texts.
//
// Thread safety: one test at a time (it sets environment variables).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/db_session.h"
#include "common/kiv_registry.h"
#include "common/settings.h"
#include "indexer/core/update_headless.h"
#include "tests/base/recording_messages.h"
#include "tests/support/file_text.h"
#include "tests/support/postgres_server.h"
#include "tests/support/scratch_store.h"

namespace tellwen::testing {

using namespace ::tellwen::indexer;  // the update job under test

// One index entry: computer, share, parent folder, folder, file name, size.
struct Entry {
  std::string computer, share, parent, folder, file;
  long long size = 0;
};

class CatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (OnPostgres()) {
      std::string why;
      postgres_ = PostgresServer::Start(&why);
      if (!postgres_) GTEST_SKIP() << "no PostgreSQL server: " << why;
      RegistrySettings store;
      StoreConnectionSettings(store, {postgres_->DataSource(), "master", PostgresServer::kUser,
                                      postgres_->password(), kEnginePostgresql});
      const SqlResult created = RunSql("create database [kiv]", 0, SqlCaller::kSetupDatabase);
      ASSERT_FALSE(created.error) << created.error_text;
      store.SetValue("SqlDatabase", "kiv");
    } else {
      ASSERT_EQ(dir_.CreateDatabase(), "");
    }
    CKIVRegistry settings;
    settings.SetValue("TemporaryFolder", dir_.path() + "/");
    settings.SetValue("SqlLogFolder", dir_.path() + "/");
    settings.SetValue("LastIndexData", "2002-02-15 17:38:32");
    settings.SetValue("CategoriesEdit", "0");
  }

  void Set(const std::string& name, const std::string& value) {
    CKIVRegistry().SetValue(name, value);
  }
  std::string Setting(const std::string& name) { return CKIVRegistry().GetValue(name); }

  std::string IndexFile() const { return dir_.path() + "/kivtmp.txt"; }
  void WriteIndex(const std::vector<Entry>& entries) {
    std::ofstream out(IndexFile(), std::ios::binary | std::ios::trunc);
    for (const Entry& e : entries) {
      out << e.computer << '\t' << e.share << '\t' << e.parent << '\t' << e.folder << '\t' << e.file
          << '\t' << e.size << "\r\n";
    }
  }
  void WriteIndexText(const std::string& text) {
    std::ofstream(IndexFile(), std::ios::binary | std::ios::trunc) << text;
  }

  // Runs /updatedb (or /setup) headless; the exit code. The printed rows
  // are kept in output_ for failure messages.
  int Update(bool setup_mode = false, SqlSession* executor = nullptr) {
    std::ostringstream out;
    RegistrySettings settings;
    const int code = RunUpdateJobHeadless(setup_mode, settings, executor, out);
    output_ = out.str();
    return code;
  }
  // An update that must succeed.
  void MustUpdate(bool setup_mode = false) {
    ASSERT_EQ(Update(setup_mode), 0) << output_ << "\nlog:\n" << LogTail();
  }

  std::string Log() { return FileText(dir_.path() + "/sql_log.txt"); }
  // The end of the update log, for failure messages.
  std::string LogTail() {
    const std::string log = Log();
    return log.size() > 3000 ? log.substr(log.size() - 3000) : log;
  }

  // Rows of a statement that must succeed.
  SqlRows Query(const std::string& sql, int columns) {
    SqlResult result = RunSql(sql, columns, SqlCaller::kQueryRowReader);
    EXPECT_FALSE(result.error) << sql << "\n-> " << result.error_text;
    return result.rows;
  }
  std::string One(const std::string& sql) {
    SqlRows rows = Query(sql, 1);
    return rows.empty() ? "<none>" : rows[0][0];
  }
  // Column 0 of every row.
  std::vector<std::string> Column(const std::string& sql) { return ColumnOf(Query(sql, 1), 0); }
  // Column index of every row.
  static std::vector<std::string> ColumnOf(const SqlRows& rows, size_t index) {
    std::vector<std::string> out;
    for (const SqlRow& row : rows) out.push_back(row[index]);
    return out;
  }
  std::string Constant(const std::string& name) {
    return One("select top 1 val from constants where name='" + name + "'");
  }
  // The id ranges of the catalog's three parts: s_start, s_stop, d_start,
  // d_stop, f_start, f_stop (shares, folders, files).
  std::vector<std::string> Ranges() {
    std::vector<std::string> out;
    for (const char* name : {"s_start", "s_stop", "d_start", "d_stop", "f_start", "f_stop"}) {
      out.push_back(Constant(name));
    }
    return out;
  }
  // A file search through spSearch (as the site sends it) finds the first
  // page of the catalog's files, and spDir lists the folder "d" of //PC1/s.
  void ExpectSearchAndBrowseWork(int files) {
    SqlResult search = RunSql(
        "spSearch '0', '20', '0', '2147483647', 0, 0, 1, '(1=1)', '(1=1)', "
        "'( fn like ''%.txt%'' )', '0', '.txt', '2002-02-15 10:00:00', '0000000001', ''",
        -1, SqlCaller::kQuerySearch);
    EXPECT_FALSE(search.error) << search.error_text;
    EXPECT_EQ(search.rows.size(), static_cast<size_t>(std::min(files, 20)));
    SqlResult browse = RunSql("spDir '//PC1', 's', 'd'", 3, SqlCaller::kQueryRowReader);
    EXPECT_FALSE(browse.error) << browse.error_text;
    EXPECT_EQ(browse.rows.size(), static_cast<size_t>(files));
  }

  // TELLWEN_TEST_ENGINE=postgresql: the catalog lives on a PostgreSQL server
  // the test starts (the ctest label "postgresql" runs the tests so).
  static bool OnPostgres() {
    const char* engine = std::getenv("TELLWEN_TEST_ENGINE");
    return engine != nullptr && IsPostgresqlEngine(engine);
  }

  ScratchStore dir_;
  std::unique_ptr<PostgresServer> postgres_;
  ScopedRecordingMessages messages_;
  std::string output_;
};

}  // namespace tellwen::testing
