// WS-Discovery messages: the Probe, Resolve and metadata Get we send, and
// replies shaped like those of real responders, then hostile ones (wrong
// namespace, other message's reply, truncated, oversized, odd names), each
// of which is dropped.
#include "platform/net/ws_discovery_messages.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/net/xml_reader.h"

namespace tellwen::net {
namespace {

constexpr const char* kOurId = "urn:uuid:0b6a4a4c-1d3e-4f7a-9c1e-5f2d8e9a7b10";
constexpr const char* kSoap = "http://www.w3.org/2003/05/soap-envelope";
constexpr const char* kWsa = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
constexpr const char* kWsd = "http://schemas.xmlsoap.org/ws/2005/04/discovery";

// A reply envelope with the given action, RelatesTo and body content.
std::string Envelope(const std::string& action, const std::string& relates_to,
                     const std::string& body, const std::string& soap_ns = kSoap) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
  xml += "<soap:Envelope xmlns:soap=\"" + soap_ns + "\"";
  xml += " xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\"";
  xml += " xmlns:wsd=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\"";
  xml += " xmlns:wsx=\"http://schemas.xmlsoap.org/ws/2004/09/mex\"";
  xml += " xmlns:wsdp=\"http://schemas.xmlsoap.org/ws/2006/02/devprof\"";
  xml += " xmlns:pub=\"http://schemas.microsoft.com/windows/pub/2005/07\">";
  xml += "<soap:Header>";
  xml += "<wsa:To>http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous</wsa:To>";
  xml += "<wsa:Action>" + action + "</wsa:Action>";
  xml += "<wsa:MessageID>urn:uuid:9d2f0c2e-7b44-4c52-8f4e-1b2a3c4d5e6f</wsa:MessageID>";
  xml += "<wsa:RelatesTo>" + relates_to + "</wsa:RelatesTo>";
  xml += "<wsd:AppSequence InstanceId=\"1700000000\" MessageNumber=\"3\"/>";
  xml += "</soap:Header><soap:Body>" + body + "</soap:Body></soap:Envelope>";
  return xml;
}

std::string ProbeMatches(const std::string& types, const std::string& xaddrs,
                         const std::string& relates_to = kOurId) {
  std::string body = "<wsd:ProbeMatches><wsd:ProbeMatch>";
  body += "<wsa:EndpointReference><wsa:Address>urn:uuid:5e6f7a8b-0000-4000-8000-00000000abcd";
  body += "</wsa:Address></wsa:EndpointReference>";
  body += "<wsd:Types>" + types + "</wsd:Types>";
  if (!xaddrs.empty()) body += "<wsd:XAddrs>" + xaddrs + "</wsd:XAddrs>";
  body += "<wsd:MetadataVersion>1</wsd:MetadataVersion>";
  body += "</wsd:ProbeMatch></wsd:ProbeMatches>";
  return Envelope("http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches", relates_to, body);
}

std::string MetadataReply(const std::string& computer, const std::string& relates_to = kOurId) {
  std::string body = "<wsx:Metadata>";
  body +=
      "<wsx:MetadataSection Dialect=\"http://schemas.xmlsoap.org/ws/2006/02/devprof/ThisDevice\">";
  body +=
      "<wsdp:ThisDevice><wsdp:FriendlyName>WSD Device PC1</wsdp:FriendlyName></wsdp:ThisDevice>";
  body += "</wsx:MetadataSection>";
  body +=
      "<wsx:MetadataSection "
      "Dialect=\"http://schemas.xmlsoap.org/ws/2006/02/devprof/Relationship\">";
  body += "<wsdp:Relationship Type=\"http://schemas.xmlsoap.org/ws/2006/02/devprof/host\">";
  body += "<wsdp:Host><wsa:EndpointReference><wsa:Address>urn:uuid:5e6f</wsa:Address>";
  body += "</wsa:EndpointReference><wsdp:Types>pub:Computer</wsdp:Types>";
  body += "<wsdp:ServiceId>urn:uuid:5e6f</wsdp:ServiceId>";
  body += "<pub:Computer>" + computer + "</pub:Computer>";
  body += "</wsdp:Host></wsdp:Relationship></wsx:MetadataSection></wsx:Metadata>";
  return Envelope("http://schemas.xmlsoap.org/ws/2004/09/transfer/GetResponse", relates_to, body);
}

// The text of the first element named (ns, local) in a depth-first walk.
std::string TextOf(const XmlElement& element, const std::string& ns, const std::string& local) {
  if (element.Is(ns, local)) return std::string(TrimXmlSpace(element.text));
  for (const auto& child : element.children) {
    std::string found = TextOf(*child, ns, local);
    if (!found.empty()) return found;
  }
  return "";
}

// "urn:uuid:" and 8-4-4-4-12 lower-case hex digits, version 4, RFC 4122 variant.
bool IsVersionFourUrn(const std::string& id) {
  const std::string prefix = "urn:uuid:";
  if (id.size() != prefix.size() + 36 || id.compare(0, prefix.size(), prefix) != 0) return false;
  const std::string uuid = id.substr(prefix.size());
  for (size_t i = 0; i < uuid.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    const bool hex = (uuid[i] >= '0' && uuid[i] <= '9') || (uuid[i] >= 'a' && uuid[i] <= 'f');
    if (dash ? uuid[i] != '-' : !hex) return false;
  }
  return uuid[14] == '4' && std::string("89ab").find(uuid[19]) != std::string::npos;
}

TEST(WsdMessages, MessageIdsAreFreshVersionFourUuids) {
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    const std::string id = NewMessageId();
    EXPECT_TRUE(IsVersionFourUrn(id)) << id;
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), 100u);
}

TEST(WsdMessages, BuiltMessagesAreWellFormedSoap) {
  const auto probe = ParseXml(BuildWsdProbe(kOurId));
  ASSERT_NE(probe, nullptr);
  EXPECT_TRUE(probe->Is(kSoap, "Envelope"));
  EXPECT_EQ(TextOf(*probe, kWsa, "MessageID"), kOurId);
  EXPECT_EQ(TextOf(*probe, kWsa, "Action"),
            "http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe");
  EXPECT_EQ(TextOf(*probe, kWsd, "Types"), "wsdp:Device");

  // An endpoint holding markup is escaped, not interpreted.
  const std::string endpoint = "urn:uuid:x</wsa:To><evil/>&";
  const auto get = ParseXml(BuildWsdMetadataGet(kOurId, endpoint));
  ASSERT_NE(get, nullptr);
  EXPECT_EQ(TextOf(*get, kWsa, "To"), endpoint);
  EXPECT_EQ(TextOf(*get, kWsa, "Action"), "http://schemas.xmlsoap.org/ws/2004/09/transfer/Get");

  const auto resolve = ParseXml(BuildWsdResolve(kOurId, "urn:uuid:abc"));
  ASSERT_NE(resolve, nullptr);
  EXPECT_EQ(TextOf(*resolve, kWsa, "Address"), "urn:uuid:abc");
}

TEST(WsdMessages, ProbeMatchesGiveEndpointTypeAndHttpXAddrs) {
  const auto matches = ParseWsdProbeMatches(
      ProbeMatches("wsdp:Device pub:Computer",
                   "http://192.168.1.20:5357/5e6f7a8b https://[fe80::1]:5358/x soap.udp://a"),
      kOurId);
  ASSERT_TRUE(matches.has_value());
  ASSERT_EQ(matches->size(), 1u);
  EXPECT_EQ((*matches)[0].endpoint, "urn:uuid:5e6f7a8b-0000-4000-8000-00000000abcd");
  EXPECT_TRUE((*matches)[0].is_computer);
  EXPECT_EQ((*matches)[0].xaddrs, std::vector<std::string>{"http://192.168.1.20:5357/5e6f7a8b"});

  // A match without XAddrs is kept (a Resolve finds them); a printer is not
  // a computer; "pub" bound to another namespace is not pub:Computer.
  const auto bare = ParseWsdProbeMatches(ProbeMatches("wsdp:Device", ""), kOurId);
  ASSERT_TRUE(bare.has_value());
  EXPECT_FALSE((*bare)[0].is_computer);
  EXPECT_TRUE((*bare)[0].xaddrs.empty());
  std::string rebound = ProbeMatches("pub:Computer", "");
  rebound.replace(rebound.find("<wsd:Types>"), 11, "<wsd:Types xmlns:pub=\"urn:other\">");
  EXPECT_FALSE((*ParseWsdProbeMatches(rebound, kOurId))[0].is_computer);
}

TEST(WsdMessages, HttpXAddrsAreTakenApartOrRefused) {
  const auto v4 = ParseHttpXAddr("http://192.168.1.20:5357/5e6f7a8b-0000");
  ASSERT_TRUE(v4.has_value());
  EXPECT_EQ(v4->host, "192.168.1.20");
  EXPECT_EQ(v4->port, 5357);
  EXPECT_EQ(v4->path, "/5e6f7a8b-0000");
  const auto v6 = ParseHttpXAddr("http://[fe80::1%25eth0]:5357/x");
  EXPECT_FALSE(v6.has_value());  // zone ids are not taken from a reply
  const auto plain = ParseHttpXAddr("http://[fe80::1]");
  ASSERT_TRUE(plain.has_value());
  EXPECT_EQ(plain->host, "fe80::1");
  EXPECT_EQ(plain->port, 80);
  EXPECT_EQ(plain->path, "/");
  for (const char* bad :
       {"http://user@10.0.0.5/", "http://10.0.0.5:0/", "http://10.0.0.5:65536/",
        "http://10.0.0.5:/", "http://10.0.0.5:80x/", "http://:80/", "http://[fe80::1/",
        "http://[fe80::1]x/", "https://10.0.0.5/", "http://a%2fb/", "http://10.0.0.5:123456/"}) {
    EXPECT_FALSE(ParseHttpXAddr(bad).has_value()) << bad;
  }
}

TEST(WsdMessages, ResolveMatchesGiveXAddrs) {
  std::string body = "<wsd:ResolveMatches><wsd:ResolveMatch><wsa:EndpointReference>";
  body += "<wsa:Address>urn:uuid:abc</wsa:Address></wsa:EndpointReference>";
  body += "<wsd:Types>pub:Computer</wsd:Types><wsd:XAddrs>http://10.0.0.5:5357/abc</wsd:XAddrs>";
  body += "</wsd:ResolveMatch></wsd:ResolveMatches>";
  const auto matches = ParseWsdResolveMatches(
      Envelope("http://schemas.xmlsoap.org/ws/2005/04/discovery/ResolveMatches", kOurId, body),
      kOurId);
  ASSERT_TRUE(matches.has_value());
  ASSERT_EQ(matches->size(), 1u);
  EXPECT_EQ((*matches)[0].xaddrs, std::vector<std::string>{"http://10.0.0.5:5357/abc"});
}

TEST(WsdMessages, HostileProbeMatchesAreDropped) {
  const std::string good = ProbeMatches("pub:Computer", "http://10.0.0.5:5357/x");
  ASSERT_TRUE(ParseWsdProbeMatches(good, kOurId).has_value());
  // Another probe's reply, and a reply to nothing.
  EXPECT_FALSE(ParseWsdProbeMatches(ProbeMatches("pub:Computer", "", "urn:uuid:other"), kOurId));
  std::string unrelated = good;
  unrelated.erase(unrelated.find("<wsa:RelatesTo>"),
                  unrelated.find("</wsa:RelatesTo>") + 16 - unrelated.find("<wsa:RelatesTo>"));
  EXPECT_FALSE(ParseWsdProbeMatches(unrelated, kOurId));
  // SOAP 1.1's envelope namespace, and a Hello in place of the matches.
  EXPECT_FALSE(ParseWsdProbeMatches(
      Envelope("http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches", kOurId,
               "<wsd:ProbeMatches/>", "http://schemas.xmlsoap.org/soap/envelope/"),
      kOurId));
  EXPECT_FALSE(ParseWsdProbeMatches(
      Envelope("http://schemas.xmlsoap.org/ws/2005/04/discovery/Hello", kOurId, "<wsd:Hello/>"),
      kOurId));
  // Every truncation, and the reply padded past the datagram limit.
  for (size_t size = 0; size + 1 < good.size(); size += 7) {
    EXPECT_FALSE(ParseWsdProbeMatches(good.substr(0, size), kOurId)) << size;
  }
  std::string padded = good;
  padded.insert(padded.find("<soap:Body>"), kWsdMaxDatagramBytes, ' ');
  EXPECT_FALSE(ParseWsdProbeMatches(padded, kOurId));
  // An entity smuggled in front.
  EXPECT_FALSE(
      ParseWsdProbeMatches("<!DOCTYPE soap:Envelope [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" +
                               good.substr(good.find("<soap:Envelope")),
                           kOurId));
}

TEST(WsdMessages, MetadataReplyGivesNameAndWorkgroupOrDomain) {
  const auto workgroup = ParseWsdMetadataResponse(MetadataReply("PC1/Workgroup:OFFICE"), kOurId);
  ASSERT_TRUE(workgroup.has_value());
  EXPECT_EQ(workgroup->name, "PC1");
  EXPECT_EQ(workgroup->workgroup, "OFFICE");
  EXPECT_EQ(workgroup->domain, "");
  const auto domain = ParseWsdMetadataResponse(MetadataReply(" SRV-2/Domain:CORP \n"), kOurId);
  ASSERT_TRUE(domain.has_value());
  EXPECT_EQ(domain->name, "SRV-2");
  EXPECT_EQ(domain->domain, "CORP");
  const auto bare = ParseWsdMetadataResponse(MetadataReply("PC3"), kOurId);
  ASSERT_TRUE(bare.has_value());
  EXPECT_EQ(bare->name, "PC3");
  // Names with non-ASCII letters are names like any other.
  EXPECT_EQ(ParseWsdMetadataResponse(MetadataReply("B\xc3\x9cRO/Workgroup:AG"), kOurId)->name,
            "B\xc3\x9cRO");
}

TEST(WsdMessages, UnusableMetadataRepliesAreDropped) {
  const char* const values[] = {
      "",                        // no name
      "/Workgroup:OFFICE",       // no name
      "PC1/Workgroup:",          // no workgroup
      "PC1/Realm:OFFICE",        // neither workgroup nor domain
      "PC1/Workgroup",           // no value
      "PC\\1/Workgroup:OFFICE",  // separator of our network names
      "PC1&#127;/Workgroup:X",   // control character
      "PC1&#9;X",                // tab inside the name
  };
  for (const char* value : values) {
    EXPECT_FALSE(ParseWsdMetadataResponse(MetadataReply(value), kOurId)) << value;
  }
  EXPECT_FALSE(ParseWsdMetadataResponse(MetadataReply(std::string(256, 'N')), kOurId));
  EXPECT_FALSE(ParseWsdMetadataResponse(MetadataReply("PC1", "urn:uuid:other"), kOurId));
  std::string no_computer = MetadataReply("PC1");
  no_computer.replace(no_computer.find("<pub:Computer>"), 14, "<wsdp:Computer>");
  no_computer.replace(no_computer.find("</pub:Computer>"), 15, "</wsdp:Computer>");
  EXPECT_FALSE(ParseWsdMetadataResponse(no_computer, kOurId));
}

}  // namespace
}  // namespace tellwen::net
