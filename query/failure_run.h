// FailureRun: one kind of write the site makes on every page (its log rows,
// the visitor counter, the chart cache) failing page after page, as on a
// full disk. The run is reported when it begins and when it ends, never once
// per page: the reports neither fill with one message nor miss it.
//
// Thread safety: any number of threads at once; of pages failing at the same
// moment exactly one is told to report the run's start, and likewise its end.
#pragma once

#include <atomic>
#include <string>

namespace tellwen::query {

class FailureRun {
 public:
  // A write failed; true when it begins a run (the caller reports it).
  bool Failed() { return !failing_.exchange(true); }
  // A write succeeded; true when it ends a run (the caller says so).
  bool Succeeded() { return failing_.load(std::memory_order_relaxed) && failing_.exchange(false); }
  // The line to report for a write's outcome (what: "the log rows"; error:
  // the failure's text): the run's start or end, else "".
  std::string Note(bool failed, const std::string& what, const std::string& error = "") {
    if (failed) {
      return Failed() ? what + " cannot be written (said once until they can): " + error : "";
    }
    return Succeeded() ? what + " can be written again" : "";
  }

 private:
  std::atomic<bool> failing_{false};
};

}  // namespace tellwen::query
