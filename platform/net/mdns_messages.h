// The messages of the mDNS search for SMB services, as pure functions (no
// sockets): the PTR query for "_smb._tcp.local" sent to the mDNS group
// (UDP 5353), and the parsing of the responses into services (PTR gives the
// instance, its SRV the target host and port, the host's A records its IPv4
// addresses).
//
// A response is untrusted: compressed names are followed only backwards
// (no pointer loops), every offset and length is checked against the
// packet, counts larger than the packet can hold are refused. Any fault
// drops the whole packet (nullopt); nothing is read out of bounds.
//
// Thread safety: pure functions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tellwen::net {

// Largest mDNS datagram read (RFC 6762 allows up to 9000 bytes).
inline constexpr size_t kMdnsMaxDatagramBytes = 9000;

inline constexpr uint16_t kDnsTypeA = 1;
inline constexpr uint16_t kDnsTypePtr = 12;
inline constexpr uint16_t kDnsTypeSrv = 33;

// A domain name as its labels, e.g. {"_smb", "_tcp", "local"}. Labels hold
// whatever bytes the sender put in them (an instance label may hold dots).
using DnsName = std::vector<std::string>;

// One query for `name` of `type`, class IN; `unicast_response` sets the
// QU bit that asks responders to answer by unicast.
std::vector<uint8_t> BuildMdnsQuery(const DnsName& name, uint16_t type, bool unicast_response);

// The query of the SMB service browse: PTR "_smb._tcp.local".
std::vector<uint8_t> BuildMdnsSmbBrowseQuery();

struct DnsRecord {
  DnsName name;
  uint16_t type = 0;
  uint16_t klass = 0;  // cache-flush bit removed
  uint32_t ttl = 0;
  DnsName target;                 // PTR: the instance; SRV: the host
  uint16_t port = 0;              // SRV
  std::array<uint8_t, 4> ipv4{};  // A
};

// The answer, authority and additional records of a response (types other
// than PTR, SRV and A are skipped after their bounds are checked).
std::optional<std::vector<DnsRecord>> ParseMdnsResponse(const uint8_t* data, size_t size);

struct MdnsSmbService {
  std::string instance;  // the instance label, as published
  std::string host;      // the SRV target's first label ("PC1" of "PC1.local")
  uint16_t port = 0;
  std::vector<std::array<uint8_t, 4>> ipv4;  // the host's A records in these records
};

// The SMB services that `records` describe: each PTR of "_smb._tcp.local"
// whose instance has an SRV record. A service whose host label is not a
// usable computer name is left out; one with a TTL of 0 (a goodbye) too.
std::vector<MdnsSmbService> CollectSmbServices(const std::vector<DnsRecord>& records);

// ASCII case-insensitive comparison of two names.
bool SameDnsName(const DnsName& a, const DnsName& b);

}  // namespace tellwen::net
