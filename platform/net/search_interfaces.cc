// The interfaces a discovery search may send on (discovery_search.h).
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>

#include "platform/net/discovery_search.h"

namespace tellwen::net {
namespace {

// Every interface that is up and has an IPv4 address, its first address.
std::vector<SearchInterface> UpIPv4Interfaces(bool with_loopback) {
  std::vector<SearchInterface> found;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return found;
  for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    if ((entry->ifa_flags & IFF_UP) == 0) continue;
    if (!with_loopback && (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
    const std::string name = entry->ifa_name;
    if (std::any_of(found.begin(), found.end(),
                    [&](const SearchInterface& i) { return i.name == name; })) {
      continue;
    }
    SearchInterface interface;
    interface.name = name;
    interface.address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr;
    interface.index = ::if_nametoindex(entry->ifa_name);
    if (interface.index != 0) found.push_back(interface);
  }
  ::freeifaddrs(list);
  return found;
}

}  // namespace

std::vector<SearchInterface> DefaultSearchInterfaces() { return UpIPv4Interfaces(false); }

std::vector<SearchInterface> SearchInterfacesNamed(const std::vector<std::string>& names) {
  const std::vector<SearchInterface> up = UpIPv4Interfaces(true);
  std::vector<SearchInterface> chosen;
  for (const std::string& name : names) {
    auto it = std::find_if(up.begin(), up.end(),
                           [&](const SearchInterface& i) { return i.name == name; });
    if (it != up.end() && std::none_of(chosen.begin(), chosen.end(),
                                       [&](const SearchInterface& i) { return i.name == name; })) {
      chosen.push_back(*it);
    }
  }
  return chosen;
}

}  // namespace tellwen::net
