// Test support for the update job: a statement executor that records every
// batch instead of sending it, fails the batches a test picks, and plays the
// load table's row count for the loader's after-failure check.
//
// Thread safety: every member may be called from any thread (the runner calls
// Run on its own thread while the test reads the record).
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "indexer/core/update_sql_executor.h"

namespace tellwen::testing {

using namespace ::tellwen::indexer;  // the update job under test

class FakeSqlExecutor : public SqlExecutor {
 public:
  struct Call {
    std::string batch;
    SqlCaller caller;
  };

  // Decides the outcome of a batch: "" for success, else the error description.
  using Rule = std::function<std::string(const std::string& batch, int call_index)>;

  SqlResult Run(const std::string& batch, int column_count, SqlCaller caller) override {
    SqlResult result;
    Rule rule;
    std::function<void()> hook;
    int index = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      calls_.push_back({batch, caller});
      index = static_cast<int>(calls_.size()) - 1;
      if (batch == "select count(*) from zz") {
        if (column_count > 0) result.rows.push_back({std::to_string(zz_rows_)});
        return result;
      }
      rule = rule_;
      hook = on_run_;
    }
    // The rule and the hook run outside the lock: they may call back in.
    const std::string error = rule ? rule(batch, index) : "";
    if (!error.empty()) {
      result.error = true;
      result.description = error;
      result.source = "fake server";
      result.error_text = "unexpected error: " + error + " src:fake server";
    } else {
      std::lock_guard<std::mutex> lock(mutex_);
      zz_rows_ += CountInserts(batch);
    }
    if (hook) hook();
    return result;
  }

  void set_rule(Rule rule) {
    std::lock_guard<std::mutex> lock(mutex_);
    rule_ = std::move(rule);
  }
  // Called after every batch (outside the lock), e.g. to request a stop.
  void set_on_run(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    on_run_ = std::move(hook);
  }
  void set_zz_rows(long long rows) {
    std::lock_guard<std::mutex> lock(mutex_);
    zz_rows_ = rows;
  }
  long long zz_rows() {
    std::lock_guard<std::mutex> lock(mutex_);
    return zz_rows_;
  }
  std::vector<Call> calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
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
  std::vector<Call> calls_;
  Rule rule_;
  std::function<void()> on_run_;
  long long zz_rows_ = 0;
};

}  // namespace tellwen::testing
