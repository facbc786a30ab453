// Test support for the update job: the shared FakeSql with the load table's
// bookkeeping. Batches that insert into zz add their rows to a count that
// "select count(*) from zz" answers (the loader's after-failure check); a
// rule picks the batches that fail by returning their error description.
//
// Thread safety: as FakeSql; every member may be called from any thread.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/fake_sql.h"

namespace tellwen::testing {

using namespace ::tellwen::indexer;  // the update job under test

class UpdateFakeSql : public FakeSql {
 public:
  // Decides the outcome of a batch: "" for success, else the error description.
  using FailRule = std::function<std::string(const std::string& batch, int call_index)>;

  UpdateFakeSql() {
    FakeSql::set_rule([this](const std::string& batch, int index, SqlResult* result) {
      if (batch == "select count(*) from zz") {
        result->rows.push_back({std::to_string(zz_rows())});
        return;
      }
      FailRule rule;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        rule = fail_rule_;
      }
      const std::string error = rule ? rule(batch, index) : "";
      if (!error.empty()) {
        Fail(result, error);
        return;
      }
      std::lock_guard<std::mutex> lock(mutex_);
      zz_rows_ += CountInserts(batch);
    });
  }

  void set_rule(FailRule rule) {
    std::lock_guard<std::mutex> lock(mutex_);
    fail_rule_ = std::move(rule);
  }
  void set_zz_rows(long long rows) {
    std::lock_guard<std::mutex> lock(mutex_);
    zz_rows_ = rows;
  }
  long long zz_rows() {
    std::lock_guard<std::mutex> lock(mutex_);
    return zz_rows_;
  }
  // The batches that insert into zz, in order.
  std::vector<std::string> load_batches() {
    std::vector<std::string> out;
    for (const Call& call : calls()) {
      if (call.batch.find("insert into zz values(") != std::string::npos) out.push_back(call.batch);
    }
    return out;
  }

  static long long CountInserts(const std::string& batch) {
    long long count = 0;
    for (size_t pos = batch.find("insert into zz values("); pos != std::string::npos;
         pos = batch.find("insert into zz values(", pos + 1)) {
      ++count;
    }
    return count;
  }

 private:
  std::mutex mutex_;
  FailRule fail_rule_;
  long long zz_rows_ = 0;
};

}  // namespace tellwen::testing
