// ComputerSearches: the sources of the network enumeration that send queries
// of their own (WS-Discovery, mDNS), behind one interface so that the index
// job runs them over this machine's sockets (SocketSearches) or, in tests,
// over a fake that sends nothing. A job without ComputerSearches enumerates
// the browse list only.
//
// Thread safety: Find and NameResolves are called by the discovery thread;
// SocketSearches keeps no state between calls.
#pragma once

#include <string>
#include <vector>

#include "common/network_search_settings.h"
#include "platform/net/discovery_search.h"

namespace tellwen::indexer {

enum class SearchKind { kWsDiscovery, kMdns };

// The provider name each source shows at level 0, and in the report.
const char* SearchKindName(SearchKind kind);  // "WS-Discovery", "mDNS"

class ComputerSearches {
 public:
  virtual ~ComputerSearches() = default;
  // The computers the search of `kind` finds on the interfaces `settings`
  // allow, within limits.
  virtual std::vector<net::FoundComputer> Find(SearchKind kind,
                                               const NetworkSearchSettings& settings,
                                               const net::SearchLimits& limits) = 0;
  // True when the scan can reach a found computer by its name.
  virtual bool NameResolves(const std::string& name) = 0;
};

class SocketSearches final : public ComputerSearches {
 public:
  std::vector<net::FoundComputer> Find(SearchKind kind, const NetworkSearchSettings& settings,
                                       const net::SearchLimits& limits) override;
  bool NameResolves(const std::string& name) override;
};

}  // namespace tellwen::indexer
