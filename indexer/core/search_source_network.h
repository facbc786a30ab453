// SearchSourceNetwork: one source of the network enumeration that finds
// computers by a search of its own (WS-Discovery, mDNS), shown to the
// enumeration with the network's three levels: the root holds one provider
// named after the source (level 0), the provider the workgroups or domains
// the search found (level 1), each workgroup its computers (level 2).
//
// The search runs once, when the provider is first enumerated. A computer is
// "\\" + its name when that name resolves to an IPv4 address (the scan
// connects by it), else "\\" + the dotted address it answered from. Its
// resource names the source as provider and holds in its comment the
// workgroup and address, for the report of what each source found.
//
// Only enumeration is served: connections succeed without doing anything,
// and the file calls fail (the scan goes through the SMB network).
//
// Thread safety: used by the discovery thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/net/discovery_search.h"
#include "platform/net/network.h"

namespace tellwen::indexer {

// The workgroup given to computers whose search named none.
inline constexpr const char* kNoWorkgroupName = "(no workgroup)";

class SearchSourceNetwork final : public net::Network {
 public:
  using Search = std::function<std::vector<net::FoundComputer>()>;
  using NameResolves = std::function<bool(const std::string& name)>;

  SearchSourceNetwork(std::string source_name, Search search, NameResolves name_resolves);

  net::NetStatus AddConnection(const net::NetResource& resource,
                               const net::NetAccount& account) override;
  net::NetStatus CancelConnection(const std::string& name, bool force) override;
  std::unique_ptr<net::ResourceEnumeration> OpenEnum(const net::NetResource* container,
                                                     net::NetStatus* status) override;
  net::NetStatus ShareList(const std::string& computer, std::vector<std::string>* names) override;
  std::unique_ptr<net::FolderListing> FindFirst(const std::string& folder,
                                                net::NetStatus* status) override;
  net::NetStatus GetFileAttributes(const std::string& path,
                                   net::FileAttributes* attributes) override;

 private:
  struct Computer {
    net::NetResource resource;
    std::string workgroup;
  };
  void RunSearchOnce();

  std::string source_name_;
  Search search_;
  NameResolves name_resolves_;
  bool searched_ = false;
  std::vector<std::string> workgroups_;  // in order found
  std::vector<Computer> computers_;
};

// The first IPv4 address of name within a second (platform/net/host_address.h).
bool NameResolvesToIPv4(const std::string& name);

}  // namespace tellwen::indexer
