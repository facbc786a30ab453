// Test support: an in-memory Settings. A value never set reads as its entry
// in `defaults` (or ""), without being stored. Writes of the names in
// failing_writes are dropped and counted, the way a hive that refuses a write
// leaves the old value.
//
// Thread safety: every member function may be called from any thread; set
// `defaults` and `failing_writes` before the code under test runs.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "common/settings.h"

namespace tellwen::testing {

class FakeSettings : public Settings {
 public:
  std::string GetValue(const std::string& name) override {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = values_.find(name);
    if (found != values_.end()) return found->second;
    auto fallback = defaults.find(name);
    return fallback == defaults.end() ? "" : fallback->second;
  }
  void SetValue(const std::string& name, const std::string& value) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failing_writes.count(name) != 0) {
      ++failed_writes_;
      return;
    }
    values_[name] = value;
  }
  std::string DefaultValue(const std::string& name) override {
    auto fallback = defaults.find(name);
    return fallback == defaults.end() ? "" : fallback->second;
  }

  // Whether name has been stored.
  bool Has(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return values_.count(name) != 0;
  }
  // The stored value ("" when none), without the default.
  std::string Stored(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = values_.find(name);
    return found == values_.end() ? "" : found->second;
  }
  int failed_writes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_writes_;
  }

  std::map<std::string, std::string> defaults;
  std::set<std::string> failing_writes;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::string> values_;
  int failed_writes_ = 0;
};

}  // namespace tellwen::testing
