#include "indexer/core/computer_searches.h"

#include "indexer/core/search_source_network.h"

namespace tellwen::indexer {

const char* SearchKindName(SearchKind kind) {
  return kind == SearchKind::kWsDiscovery ? "WS-Discovery" : "mDNS";
}

std::vector<net::FoundComputer> SocketSearches::Find(SearchKind kind,
                                                     const NetworkSearchSettings& settings,
                                                     const net::SearchLimits& limits) {
  const std::vector<net::SearchInterface> interfaces =
      settings.every_interface ? net::DefaultSearchInterfaces()
                               : net::SearchInterfacesNamed(settings.interfaces);
  return kind == SearchKind::kWsDiscovery ? net::SearchWsDiscovery(interfaces, limits)
                                          : net::SearchMdns(interfaces, limits);
}

bool SocketSearches::NameResolves(const std::string& name) { return NameResolvesToIPv4(name); }

}  // namespace tellwen::indexer
