// Test support: an EchoService that answers for the hosts in `alive` and
// records every echo (host and timeout); `unavailable` makes every echo fail
// as when no ICMP socket can be opened.
//
// Thread safety: one thread at a time.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/net/icmp_echo.h"

namespace tellwen::testing {

// Answers for the hosts in alive, dead for any other.
class FakeEcho : public net::EchoService {
 public:
  net::EchoReply Echo(const std::string& host, int timeout_ms) override {
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
};

}  // namespace tellwen::testing
