#include "platform/net/mdns_messages.h"

#include "platform/net/ws_discovery_messages.h"

namespace tellwen::net {
namespace {

constexpr size_t kHeaderBytes = 12;
constexpr size_t kMaxNameBytes = 255;  // wire length of a name, RFC 1035
constexpr uint16_t kClassIn = 1;
constexpr uint16_t kCacheFlushBit = 0x8000;
constexpr uint16_t kUnicastResponseBit = 0x8000;

const DnsName& SmbServiceName() {
  static const DnsName name{"_smb", "_tcp", "local"};
  return name;
}

void Put16(std::vector<uint8_t>* out, uint16_t value) {
  out->push_back(static_cast<uint8_t>(value >> 8));
  out->push_back(static_cast<uint8_t>(value & 0xff));
}

// Reads the packet with bounds checks; any fault leaves `ok` false and
// every later read returns zeros.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool ok() const { return ok_; }
  size_t offset() const { return offset_; }
  size_t remaining() const { return ok_ ? size_ - offset_ : 0; }
  void Fail() { ok_ = false; }

  uint8_t U8() {
    if (!Need(1)) return 0;
    return data_[offset_++];
  }
  uint16_t U16() {
    if (!Need(2)) return 0;
    const uint16_t value = static_cast<uint16_t>((data_[offset_] << 8) | data_[offset_ + 1]);
    offset_ += 2;
    return value;
  }
  uint32_t U32() {
    const uint32_t high = U16();
    return (high << 16) | U16();
  }
  void Skip(size_t bytes) {
    if (Need(bytes)) offset_ += bytes;
  }

  // A possibly compressed name starting at the current offset; the reader
  // moves past its in-place part. A pointer must point before the place it
  // was read from, so that every jump goes strictly backwards and a loop is
  // impossible; the expanded name may not exceed 255 bytes.
  DnsName Name() {
    DnsName name;
    size_t at = offset_;
    size_t end_in_place = 0;  // where the reader continues, once known
    size_t wire_length = 1;
    size_t lowest_jump = offset_;
    while (ok_) {
      if (at >= size_) return FailName();
      const uint8_t length = data_[at];
      if ((length & 0xc0) == 0xc0) {
        if (at + 1 >= size_) return FailName();
        const size_t target = (static_cast<size_t>(length & 0x3f) << 8) | data_[at + 1];
        if (end_in_place == 0) end_in_place = at + 2;
        if (target >= lowest_jump) return FailName();
        lowest_jump = target;
        at = target;
        continue;
      }
      if ((length & 0xc0) != 0) return FailName();  // extended label types
      if (length == 0) {
        if (end_in_place == 0) end_in_place = at + 1;
        offset_ = end_in_place;
        return name;
      }
      wire_length += 1 + length;
      if (wire_length > kMaxNameBytes || at + 1 + length > size_) return FailName();
      name.emplace_back(reinterpret_cast<const char*>(data_ + at + 1), length);
      at += 1 + length;
    }
    return {};
  }

 private:
  bool Need(size_t bytes) {
    if (!ok_ || bytes > size_ - offset_) {
      ok_ = false;
      return false;
    }
    return true;
  }
  DnsName FailName() {
    ok_ = false;
    return {};
  }

  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
  bool ok_ = true;
};

bool SameLabel(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// A single-label host under "local" whose label can name a computer.
bool IsUsableHost(const DnsName& host) {
  return host.size() == 2 && SameLabel(host[1], "local") && IsUsableComputerName(host[0]) &&
         host[0].find('.') == std::string::npos && host[0].find(' ') == std::string::npos;
}

bool IsPrintable(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return false;
  }
  return !text.empty();
}

}  // namespace

bool SameDnsName(const DnsName& a, const DnsName& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!SameLabel(a[i], b[i])) return false;
  }
  return true;
}

std::vector<uint8_t> BuildMdnsQuery(const DnsName& name, uint16_t type, bool unicast_response) {
  std::vector<uint8_t> packet(kHeaderBytes, 0);
  packet[5] = 1;  // one question; id 0 and flags 0 as mDNS queries use
  for (const std::string& label : name) {
    const size_t length = label.size() < 63 ? label.size() : 63;
    packet.push_back(static_cast<uint8_t>(length));
    packet.insert(packet.end(), label.begin(), label.begin() + static_cast<ptrdiff_t>(length));
  }
  packet.push_back(0);
  Put16(&packet, type);
  Put16(&packet, static_cast<uint16_t>(kClassIn | (unicast_response ? kUnicastResponseBit : 0)));
  return packet;
}

std::vector<uint8_t> BuildMdnsSmbBrowseQuery() {
  return BuildMdnsQuery(SmbServiceName(), kDnsTypePtr, false);
}

std::optional<std::vector<DnsRecord>> ParseMdnsResponse(const uint8_t* data, size_t size) {
  if (data == nullptr || size < kHeaderBytes || size > kMdnsMaxDatagramBytes) return std::nullopt;
  Reader reader(data, size);
  reader.U16();  // id, 0 in mDNS and ignored
  const uint16_t flags = reader.U16();
  const bool is_response = (flags & 0x8000) != 0;
  const unsigned opcode = (flags >> 11) & 0x0f;
  const unsigned rcode = flags & 0x0f;
  if (!is_response || opcode != 0 || rcode != 0) return std::nullopt;
  const size_t questions = reader.U16();
  const size_t records = static_cast<size_t>(reader.U16()) + reader.U16() + reader.U16();
  // A question takes at least 5 bytes, a record at least 11: counts the
  // packet cannot hold are refused before anything is allocated.
  if (questions * 5 + records * 11 > reader.remaining()) return std::nullopt;
  for (size_t i = 0; i < questions && reader.ok(); ++i) {
    reader.Name();
    reader.Skip(4);
  }
  std::vector<DnsRecord> parsed;
  for (size_t i = 0; i < records && reader.ok(); ++i) {
    DnsRecord record;
    record.name = reader.Name();
    record.type = reader.U16();
    record.klass = static_cast<uint16_t>(reader.U16() & ~kCacheFlushBit);
    record.ttl = reader.U32();
    const size_t rdlength = reader.U16();
    if (!reader.ok() || rdlength > reader.remaining()) return std::nullopt;
    const size_t rdata_end = reader.offset() + rdlength;
    if (record.klass != kClassIn) {
      reader.Skip(rdlength);
      continue;
    }
    switch (record.type) {
      case kDnsTypePtr:
        record.target = reader.Name();
        break;
      case kDnsTypeSrv:
        reader.U16();  // priority
        reader.U16();  // weight
        record.port = reader.U16();
        record.target = reader.Name();
        break;
      case kDnsTypeA:
        if (rdlength != 4) return std::nullopt;
        for (auto& byte : record.ipv4) byte = reader.U8();
        break;
      default:
        reader.Skip(rdlength);
        continue;
    }
    if (!reader.ok() || reader.offset() != rdata_end) return std::nullopt;
    parsed.push_back(std::move(record));
  }
  if (!reader.ok()) return std::nullopt;
  return parsed;
}

std::vector<MdnsSmbService> CollectSmbServices(const std::vector<DnsRecord>& records) {
  std::vector<MdnsSmbService> services;
  for (const DnsRecord& ptr : records) {
    if (ptr.type != kDnsTypePtr || ptr.ttl == 0 || !SameDnsName(ptr.name, SmbServiceName())) {
      continue;
    }
    // The instance is "<label>._smb._tcp.local".
    const DnsName& instance = ptr.target;
    if (instance.size() != 4 || !IsPrintable(instance[0]) ||
        !SameDnsName(DnsName(instance.begin() + 1, instance.end()), SmbServiceName())) {
      continue;
    }
    const DnsRecord* srv = nullptr;
    for (const DnsRecord& candidate : records) {
      if (candidate.type == kDnsTypeSrv && candidate.ttl != 0 &&
          SameDnsName(candidate.name, instance)) {
        srv = &candidate;
        break;
      }
    }
    if (srv == nullptr || !IsUsableHost(srv->target)) continue;
    bool seen = false;
    for (const MdnsSmbService& known : services) {
      seen = seen || SameLabel(known.instance, instance[0]);
    }
    if (seen) continue;
    MdnsSmbService service;
    service.instance = instance[0];
    service.host = srv->target[0];
    service.port = srv->port;
    for (const DnsRecord& a : records) {
      if (a.type == kDnsTypeA && a.ttl != 0 && SameDnsName(a.name, srv->target)) {
        service.ipv4.push_back(a.ipv4);
      }
    }
    services.push_back(std::move(service));
  }
  return services;
}

}  // namespace tellwen::net
