// mDNS query building and response parsing: responses shaped like a
// responder's answer to the SMB browse, and hostile packets (pointer loops,
// out-of-range offsets, truncated records, oversized counts, odd bytes in
// names), each of which is dropped without a crash.
#include "platform/net/mdns_messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tellwen::net {
namespace {

// Writes DNS packets by hand, remembering where names start so that later
// names can point at them.
class Packet {
 public:
  Packet& U8(unsigned v) {
    bytes.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  Packet& U16(unsigned v) { return U8(v >> 8).U8(v & 0xff); }
  Packet& U32(unsigned v) { return U16(v >> 16).U16(v & 0xffff); }
  Packet& Header(unsigned flags, unsigned qd, unsigned an, unsigned ns, unsigned ar) {
    return U16(0).U16(flags).U16(qd).U16(an).U16(ns).U16(ar);
  }
  // Labels, then either a pointer or the root label.
  Packet& Name(const std::vector<std::string>& labels, int pointer = -1) {
    for (const std::string& label : labels) {
      U8(static_cast<unsigned>(label.size()));
      bytes.insert(bytes.end(), label.begin(), label.end());
    }
    if (pointer >= 0) return U16(0xc000 | static_cast<unsigned>(pointer));
    return U8(0);
  }
  Packet& Record(unsigned type, unsigned klass, unsigned ttl) {
    return U16(type).U16(klass).U32(ttl);
  }
  // Opens an rdata length to be filled in by EndRdata.
  Packet& BeginRdata() {
    rdata_at = bytes.size();
    return U16(0);
  }
  Packet& EndRdata() {
    const size_t length = bytes.size() - rdata_at - 2;
    bytes[rdata_at] = static_cast<uint8_t>(length >> 8);
    bytes[rdata_at + 1] = static_cast<uint8_t>(length & 0xff);
    return *this;
  }
  size_t here() const { return bytes.size(); }

  std::vector<uint8_t> bytes;
  size_t rdata_at = 0;
};

std::optional<std::vector<DnsRecord>> Parse(const std::vector<uint8_t>& bytes) {
  return ParseMdnsResponse(bytes.data(), bytes.size());
}

// A responder's answer to the browse: the PTR in the answers; SRV, TXT and
// A in the additional records, every name after the first compressed.
// `host` is the SRV target's first label.
std::vector<uint8_t> BrowseAnswer(const std::string& host, unsigned ttl = 4500) {
  Packet p;
  p.Header(0x8400, 0, 1, 0, 3);
  const size_t service = p.here();  // 12
  p.Name({"_smb", "_tcp", "local"});
  const size_t local = service + 1 + 4 + 1 + 4;
  p.Record(kDnsTypePtr, 1, ttl).BeginRdata();
  const size_t instance = p.here();
  p.Name({"Office PC"}, static_cast<int>(service)).EndRdata();
  p.Name({}, static_cast<int>(instance)).Record(kDnsTypeSrv, 0x8001, 120).BeginRdata();
  p.U16(0).U16(0).U16(445);
  const size_t target = p.here();
  p.Name({host}, static_cast<int>(local)).EndRdata();
  p.Name({}, static_cast<int>(instance)).Record(16, 0x8001, 4500).BeginRdata();
  p.U8(0).EndRdata();
  p.Name({}, static_cast<int>(target)).Record(kDnsTypeA, 0x8001, 120).BeginRdata();
  p.U8(10).U8(0).U8(0).U8(5).EndRdata();
  return p.bytes;
}

TEST(MdnsQuery, SmbBrowseIsOnePtrQuestion) {
  const std::vector<uint8_t> expected = {
      0, 0,   0,   0,   0,   1,   0,   0,   0,   0,   0, 0,  // header: one question
      4, '_', 's', 'm', 'b', 4,   '_', 't', 'c', 'p',        //
      5, 'l', 'o', 'c', 'a', 'l', 0,   0,   12,  0,   1};    // PTR, IN
  EXPECT_EQ(BuildMdnsSmbBrowseQuery(), expected);
  const std::vector<uint8_t> unicast = BuildMdnsQuery({"a", "local"}, kDnsTypeA, true);
  EXPECT_EQ(unicast[unicast.size() - 2], 0x80);  // QU bit
}

TEST(MdnsResponse, BrowseAnswerGivesServiceHostPortAndAddress) {
  const auto records = Parse(BrowseAnswer("pc1"));
  ASSERT_TRUE(records.has_value());
  EXPECT_EQ(records->size(), 3u);  // TXT skipped
  const std::vector<MdnsSmbService> services = CollectSmbServices(*records);
  ASSERT_EQ(services.size(), 1u);
  EXPECT_EQ(services[0].instance, "Office PC");
  EXPECT_EQ(services[0].host, "pc1");
  EXPECT_EQ(services[0].port, 445);
  ASSERT_EQ(services[0].ipv4.size(), 1u);
  EXPECT_EQ(services[0].ipv4[0], (std::array<uint8_t, 4>{10, 0, 0, 5}));
}

TEST(MdnsResponse, UnusableHostsAndGoodbyesAreLeftOut) {
  for (const std::string& host :
       {std::string("pc\\1"), std::string("pc/1"), std::string("pc\x01", 3), std::string("pc\x7f"),
        std::string("a.b"), std::string("pc:1")}) {
    const auto records = Parse(BrowseAnswer(host));
    ASSERT_TRUE(records.has_value()) << host;
    EXPECT_TRUE(CollectSmbServices(*records).empty()) << host;
  }
  const auto goodbye = Parse(BrowseAnswer("pc1", 0));
  ASSERT_TRUE(goodbye.has_value());
  EXPECT_TRUE(CollectSmbServices(*goodbye).empty());
}

TEST(MdnsResponse, HostileNamesDropThePacket) {
  {  // a pointer to itself
    Packet p;
    p.Header(0x8400, 0, 1, 0, 0).Name({}, 12).Record(kDnsTypeA, 1, 1).U16(4).U32(0);
    EXPECT_FALSE(Parse(p.bytes).has_value());
  }
  {  // two names pointing at each other
    Packet p;
    p.Header(0x8400, 0, 2, 0, 0).Name({"a"}, 30).Record(kDnsTypeA, 1, 1).U16(4).U32(0);
    ASSERT_EQ(p.here(), 30u);
    p.Name({"b"}, 12).Record(kDnsTypeA, 1, 1).U16(4).U32(0);
    EXPECT_FALSE(Parse(p.bytes).has_value());
  }
  {  // a pointer past the end
    Packet p;
    p.Header(0x8400, 0, 1, 0, 0).Name({"a"}, 0x3fff).Record(kDnsTypeA, 1, 1).U16(4).U32(0);
    EXPECT_FALSE(Parse(p.bytes).has_value());
  }
  {  // a pointer cut in half at the end of the packet
    Packet p;
    p.Header(0x8400, 0, 1, 0, 0).U8(0xc0);
    EXPECT_FALSE(Parse(p.bytes).has_value());
  }
  {  // a label running past the end
    Packet p;
    p.Header(0x8400, 0, 1, 0, 0).U8(40).U8('a');
    EXPECT_FALSE(Parse(p.bytes).has_value());
  }
  {  // extended label type
    Packet p;
    p.Header(0x8400, 0, 1, 0, 0).U8(0x41).U8(0).Record(kDnsTypeA, 1, 1).U16(4).U32(0);
    EXPECT_FALSE(Parse(p.bytes).has_value());
  }
  {  // a name of more than 255 bytes, built from backward pointers
    Packet p;
    p.Header(0x8400, 0, 6, 0, 0);
    int previous = -1;
    for (int i = 0; i < 6; ++i) {
      const size_t at = p.here();
      p.Name({std::string(60, 'x')}, previous).Record(16, 1, 1).U16(0);
      previous = static_cast<int>(at);
    }
    EXPECT_FALSE(Parse(p.bytes).has_value());
  }
}

TEST(MdnsResponse, HostileRecordsDropThePacket) {
  const std::vector<uint8_t> good = BrowseAnswer("pc1");
  // Every truncation of a good answer.
  for (size_t size = 0; size < good.size(); ++size) {
    EXPECT_FALSE(ParseMdnsResponse(good.data(), size).has_value()) << size;
  }
  {  // counts the packet cannot hold
    std::vector<uint8_t> bytes = good;
    bytes[6] = bytes[7] = bytes[10] = bytes[11] = 0xff;
    EXPECT_FALSE(Parse(bytes).has_value());
  }
  {  // a query, not a response
    std::vector<uint8_t> bytes = good;
    bytes[2] = 0;
    EXPECT_FALSE(Parse(bytes).has_value());
  }
  {  // an A record of 5 bytes
    Packet p;
    p.Header(0x8400, 0, 1, 0, 0).Name({"a", "local"}).Record(kDnsTypeA, 1, 1).U16(5);
    p.U32(0).U8(0);
    EXPECT_FALSE(Parse(p.bytes).has_value());
  }
  {  // a PTR whose name runs past its rdata length
    Packet p;
    p.Header(0x8400, 0, 1, 0, 0).Name({"a"}).Record(kDnsTypePtr, 1, 1).U16(2).Name({"bb"});
    EXPECT_FALSE(Parse(p.bytes).has_value());
  }
  {  // an rdata length past the end
    Packet p;
    p.Header(0x8400, 0, 1, 0, 0).Name({"a"}).Record(16, 1, 1).U16(1000).U8(0);
    EXPECT_FALSE(Parse(p.bytes).has_value());
  }
  {  // oversized datagram
    std::vector<uint8_t> bytes = good;
    bytes.resize(kMdnsMaxDatagramBytes + 1);
    EXPECT_FALSE(Parse(bytes).has_value());
  }
}

}  // namespace
}  // namespace tellwen::net
