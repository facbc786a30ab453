// The mDNS search (discovery_search.h): one PTR query for the SMB service,
// answered by unicast to our own port.
#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

#include "platform/net/discovery_search.h"
#include "platform/net/discovery_socket.h"
#include "platform/net/mdns_messages.h"

namespace tellwen::net {
namespace {

constexpr uint16_t kMdnsPort = 5353;
constexpr const char* kMdnsGroup = "224.0.0.251";
// The query goes out twice (UDP may lose one).
constexpr int kQuerySends = 2;

}  // namespace

std::vector<FoundComputer> SearchMdns(const std::vector<SearchInterface>& interfaces,
                                      const SearchLimits& limits) {
  std::vector<FoundComputer> found;
  if (interfaces.empty() || SearchStopping(limits)) return found;
  const std::vector<uint8_t> query = BuildMdnsSmbBrowseQuery();
  // TTL 255 as mDNS asks; the link-local group is never routed.
  const OpenedSockets sockets =
      OpenAndSend(interfaces, 255, kMdnsGroup, kMdnsPort, query.data(), query.size(), kQuerySends);

  // The records of each responder, kept apart: one responder's records never
  // describe another's services.
  std::map<uint32_t, std::vector<DnsRecord>> records;
  ReceiveUntil(sockets.open, limits.wait, limits, kMdnsMaxDatagramBytes,
               [&](const Datagram& datagram) {
                 if (datagram.from_port != kMdnsPort) return;  // not a responder
                 std::optional<std::vector<DnsRecord>> parsed =
                     ParseMdnsResponse(datagram.bytes.data(), datagram.bytes.size());
                 if (!parsed) return;
                 std::vector<DnsRecord>& kept = records[datagram.from_address];
                 // A bound on what one responder may make us keep.
                 constexpr size_t kMaxRecordsPerResponder = 4096;
                 for (DnsRecord& record : *parsed) {
                   if (kept.size() >= kMaxRecordsPerResponder) break;
                   kept.push_back(std::move(record));
                 }
               });

  for (const auto& [from, kept] : records) {
    for (const MdnsSmbService& service : CollectSmbServices(kept)) {
      FoundComputer computer;
      computer.name = service.host;
      computer.address = from;
      if (!service.ipv4.empty()) std::memcpy(&computer.address, service.ipv4[0].data(), 4);
      if (std::any_of(found.begin(), found.end(), [&](const FoundComputer& f) {
            return f.name == computer.name && f.address == computer.address;
          })) {
        continue;
      }
      found.push_back(computer);
    }
  }
  return found;
}

}  // namespace tellwen::net
