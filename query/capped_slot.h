// One of a bounded number of places, held for the span of a request that may
// hold its request thread long (a download, a ping of a computer that does
// not answer): past the bound such requests are answered busy at once, so
// that they never take every request thread from the site's pages.
//
// Thread safety: any thread; the counter is shared by every slot made over
// it.
#pragma once

#include <atomic>
#include <cstddef>

namespace tellwen::query {

class CappedSlot {
 public:
  // Takes a place when fewer than cap are taken in running.
  CappedSlot(std::atomic<size_t>& running, size_t cap) : running_(running) {
    size_t now = running_.load();
    while (now < cap && !running_.compare_exchange_weak(now, now + 1)) {
    }
    taken_ = now < cap;
  }
  ~CappedSlot() {
    if (taken_) running_.fetch_sub(1);
  }
  CappedSlot(const CappedSlot&) = delete;
  CappedSlot& operator=(const CappedSlot&) = delete;
  bool taken() const { return taken_; }

 private:
  std::atomic<size_t>& running_;
  bool taken_ = false;
};

}  // namespace tellwen::query
