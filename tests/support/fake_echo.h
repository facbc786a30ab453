// Test support: an EchoService that answers for the hosts in `alive` and
// records every echo (host and timeout); `unavailable` makes every echo fail
// as when no ICMP socket can be opened.
//
// Thread safety: Echo may be called from any number of threads; read the
// record once they are done.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/net/icmp_echo.h"

namespace tellwen::testing {

// Answers for the hosts in alive, dead for any other.
class FakeEcho : public net::EchoService {
 public:
  FakeEcho() = default;
  explicit FakeEcho(std::set<std::string> alive_hosts) : alive(std::move(alive_hosts)) {}

  net::EchoReply Echo(const std::string& host, int timeout_ms) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls.emplace_back(host, timeout_ms);
    if (unavailable) return {net::EchoStatus::kError, false, "no socket"};
    return {alive.count(host) ? net::EchoStatus::kAlive : net::EchoStatus::kDead, true, ""};
  }
  std::vector<std::string> Hosts() const {
    std::vector<std::string> hosts;
    for (const auto& call : calls) hosts.push_back(call.first);
    return hosts;
  }

  std::set<std::string> alive;
  bool unavailable = false;
  std::vector<std::pair<std::string, int>> calls;

 private:
  std::mutex mutex_;
};

}  // namespace tellwen::testing
