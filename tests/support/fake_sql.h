// Test support: a SqlSession that records every batch instead of sending it.
// A rule decides each batch's outcome (rows or an error description); a hook
// runs after every batch, e.g. to request a stop in the middle of a job.
//
// Thread safety: every member may be called from any thread (a job's threads
// call Run while the test reads the record). The rule and the hook run
// outside the lock: they may call back in.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "common/sql_session.h"

namespace tellwen::testing {

class FakeSql : public SqlSession {
 public:
  struct Call {
    std::string batch;
    int column_count = 0;
    SqlCaller caller = SqlCaller::kQueryStatementRunner;
  };
  // Fills *result for the batch (rows, or error with its description); the
  // default leaves it empty: success without rows.
  using Rule = std::function<void(const std::string& batch, int call_index, SqlResult* result)>;

  SqlResult Run(const std::string& batch, int column_count, SqlCaller caller) override {
    Rule rule;
    std::function<void()> hook;
    int index = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      calls_.push_back({batch, column_count, caller});
      index = static_cast<int>(calls_.size()) - 1;
      rule = rule_;
      hook = on_run_;
    }
    SqlResult result;
    if (rule) rule(batch, index, &result);
    if (result.error && result.error_text.empty()) {
      if (result.source.empty()) result.source = "fake server";
      result.error_text = "unexpected error: " + result.description + " src:" + result.source;
    }
    if (hook) hook();
    return result;
  }

  void set_rule(Rule rule) {
    std::lock_guard<std::mutex> lock(mutex_);
    rule_ = std::move(rule);
  }
  void set_on_run(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    on_run_ = std::move(hook);
  }
  std::vector<Call> calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  std::vector<std::string> batches() const {
    std::vector<std::string> out;
    for (const Call& call : calls()) out.push_back(call.batch);
    return out;
  }

  // Marks result as failed with description (for rules).
  static void Fail(SqlResult* result, const std::string& description) {
    result->error = true;
    result->description = description;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Call> calls_;
  Rule rule_;
  std::function<void()> on_run_;
};

}  // namespace tellwen::testing
