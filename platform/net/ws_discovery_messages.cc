#include "platform/net/ws_discovery_messages.h"

#include <sys/random.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <random>

#include "platform/net/xml_reader.h"

namespace tellwen::net {
namespace {

constexpr std::string_view kSoapNs = "http://www.w3.org/2003/05/soap-envelope";
constexpr std::string_view kAddressingNs = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
constexpr std::string_view kDiscoveryNs = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
constexpr std::string_view kPubNs = "http://schemas.microsoft.com/windows/pub/2005/07";
constexpr std::string_view kProbeMatchesAction =
    "http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches";
constexpr std::string_view kResolveMatchesAction =
    "http://schemas.xmlsoap.org/ws/2005/04/discovery/ResolveMatches";
constexpr std::string_view kGetResponseAction =
    "http://schemas.xmlsoap.org/ws/2004/09/transfer/GetResponse";

constexpr std::string_view kEnvelopeOpen =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<soap:Envelope"
    " xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\""
    " xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
    " xmlns:wsd=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\""
    " xmlns:wsdp=\"http://schemas.xmlsoap.org/ws/2006/02/devprof\""
    " xmlns:pub=\"http://schemas.microsoft.com/windows/pub/2005/07\">";

constexpr std::string_view kDiscoveryTo = "urn:schemas-xmlsoap-org:ws:2005:04:discovery";

// One SOAP message: addressing header (To, Action, MessageID, then
// `more_header`) and `body`, both given as markup.
std::string Message(std::string_view to, std::string_view action, std::string_view message_id,
                    std::string_view more_header, std::string_view body) {
  std::string xml(kEnvelopeOpen);
  xml += "<soap:Header><wsa:To>";
  xml += XmlEscape(to);
  xml += "</wsa:To><wsa:Action>";
  xml += action;
  xml += "</wsa:Action><wsa:MessageID>";
  xml += XmlEscape(message_id);
  xml += "</wsa:MessageID>";
  xml += more_header;
  xml += "</soap:Header>";
  if (body.empty()) {
    xml += "<soap:Body/>";
  } else {
    xml += "<soap:Body>";
    xml += body;
    xml += "</soap:Body>";
  }
  xml += "</soap:Envelope>";
  return xml;
}

// The reply parsed (at most max_bytes) and its envelope's header and body
// checked: right namespace, the expected action, and a RelatesTo naming our
// message. The body, or nullptr; *document keeps what it points into.
const XmlElement* CheckedBody(std::string_view text, size_t max_bytes, std::string_view action,
                              std::string_view relates_to, std::unique_ptr<XmlElement>* document) {
  XmlLimits limits;
  limits.max_bytes = max_bytes;
  *document = ParseXml(text, limits);
  if (*document == nullptr) return nullptr;
  const XmlElement& envelope = **document;
  if (!envelope.Is(kSoapNs, "Envelope")) return nullptr;
  const XmlElement* header = envelope.Child(kSoapNs, "Header");
  const XmlElement* body = envelope.Child(kSoapNs, "Body");
  if (header == nullptr || body == nullptr) return nullptr;
  const XmlElement* got_action = header->Child(kAddressingNs, "Action");
  const XmlElement* got_relates = header->Child(kAddressingNs, "RelatesTo");
  if (got_action == nullptr || TrimXmlSpace(got_action->text) != action) return nullptr;
  if (got_relates == nullptr || TrimXmlSpace(got_relates->text) != relates_to) return nullptr;
  return body;
}

// The tokens of a white-space separated list.
std::vector<std::string_view> SplitList(std::string_view text) {
  std::vector<std::string_view> tokens;
  constexpr std::string_view kSpace = " \t\r\n";
  size_t at = text.find_first_not_of(kSpace);
  while (at != std::string_view::npos) {
    const size_t end = text.find_first_of(kSpace, at);
    tokens.push_back(text.substr(at, end == std::string_view::npos ? end : end - at));
    at = end == std::string_view::npos ? end : text.find_first_not_of(kSpace, end);
  }
  return tokens;
}

bool NamesPubComputer(const XmlElement& types) {
  for (const std::string_view qname : SplitList(types.text)) {
    const size_t colon = qname.find(':');
    if (colon == std::string_view::npos) continue;
    if (qname.substr(colon + 1) != "Computer") continue;
    const std::optional<std::string> uri = types.ResolvePrefix(qname.substr(0, colon));
    if (uri && *uri == kPubNs) return true;
  }
  return false;
}

// An XAddr the metadata Get can use: http://, no white space or control bytes.
bool IsUsableXAddr(std::string_view xaddr) {
  constexpr std::string_view kScheme = "http://";
  if (xaddr.size() <= kScheme.size() || xaddr.size() > 2048) return false;
  if (xaddr.substr(0, kScheme.size()) != kScheme) return false;
  for (const char c : xaddr) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f) return false;
  }
  return true;
}

bool IsUsableEndpoint(std::string_view endpoint) {
  if (endpoint.empty() || endpoint.size() > 2048) return false;
  for (const char c : endpoint) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return false;
  }
  return true;
}

}  // namespace

std::string NewMessageId() {
  std::array<uint8_t, 16> bytes{};
  size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
    if (got <= 0) break;
    filled += static_cast<size_t>(got);
  }
  if (filled < bytes.size()) {
    std::random_device device;
    for (auto& byte : bytes) byte = static_cast<uint8_t>(device());
  }
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0f) | 0x40);  // version 4
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3f) | 0x80);  // RFC 4122 variant
  std::string id = "urn:uuid:";
  static constexpr char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) id += '-';
    id += kHex[bytes[i] >> 4];
    id += kHex[bytes[i] & 0x0f];
  }
  return id;
}

std::string BuildWsdProbe(std::string_view message_id) {
  return Message(kDiscoveryTo, "http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe", message_id,
                 "", "<wsd:Probe><wsd:Types>wsdp:Device</wsd:Types></wsd:Probe>");
}

namespace {

// The matches of a ProbeMatches or ResolveMatches reply.
std::optional<std::vector<WsdProbeMatch>> ParseMatches(std::string_view packet,
                                                       std::string_view action,
                                                       std::string_view container,
                                                       std::string_view item,
                                                       std::string_view relates_to) {
  std::unique_ptr<XmlElement> document;
  const XmlElement* body = CheckedBody(packet, kWsdMaxDatagramBytes, action, relates_to, &document);
  if (body == nullptr) return std::nullopt;
  const XmlElement* matches = body->Child(kDiscoveryNs, container);
  if (matches == nullptr) return std::nullopt;
  std::vector<WsdProbeMatch> found;
  for (const XmlElement* match : matches->Children(kDiscoveryNs, item)) {
    const XmlElement* reference = match->Child(kAddressingNs, "EndpointReference");
    const XmlElement* address =
        reference == nullptr ? nullptr : reference->Child(kAddressingNs, "Address");
    if (address == nullptr) continue;
    WsdProbeMatch entry;
    entry.endpoint = std::string(TrimXmlSpace(address->text));
    if (!IsUsableEndpoint(entry.endpoint)) continue;
    if (const XmlElement* types = match->Child(kDiscoveryNs, "Types")) {
      entry.is_computer = NamesPubComputer(*types);
    }
    if (const XmlElement* xaddrs = match->Child(kDiscoveryNs, "XAddrs")) {
      for (const std::string_view xaddr : SplitList(xaddrs->text)) {
        if (IsUsableXAddr(xaddr)) entry.xaddrs.emplace_back(xaddr);
      }
    }
    found.push_back(std::move(entry));
  }
  return found;
}

}  // namespace

std::optional<std::vector<WsdProbeMatch>> ParseWsdProbeMatches(std::string_view packet,
                                                               std::string_view probe_message_id) {
  return ParseMatches(packet, kProbeMatchesAction, "ProbeMatches", "ProbeMatch", probe_message_id);
}

std::string BuildWsdResolve(std::string_view message_id, std::string_view endpoint) {
  std::string body = "<wsd:Resolve><wsa:EndpointReference><wsa:Address>";
  body += XmlEscape(endpoint);
  body += "</wsa:Address></wsa:EndpointReference></wsd:Resolve>";
  return Message(kDiscoveryTo, "http://schemas.xmlsoap.org/ws/2005/04/discovery/Resolve",
                 message_id, "", body);
}

std::optional<std::vector<WsdProbeMatch>> ParseWsdResolveMatches(
    std::string_view packet, std::string_view resolve_message_id) {
  return ParseMatches(packet, kResolveMatchesAction, "ResolveMatches", "ResolveMatch",
                      resolve_message_id);
}

std::optional<HttpXAddr> ParseHttpXAddr(std::string_view xaddr) {
  if (!IsUsableXAddr(xaddr)) return std::nullopt;
  std::string_view rest = xaddr.substr(std::string_view("http://").size());
  const size_t slash = rest.find('/');
  HttpXAddr parsed;
  parsed.path = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
  std::string_view authority = rest.substr(0, slash);
  if (authority.find('@') != std::string_view::npos) return std::nullopt;
  std::string_view port;
  if (!authority.empty() && authority.front() == '[') {
    const size_t close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    parsed.host = std::string(authority.substr(1, close - 1));
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return std::nullopt;
      port = after.substr(1);
    }
    if (parsed.host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos) {
      return std::nullopt;
    }
  } else {
    const size_t colon = authority.find(':');
    parsed.host = std::string(authority.substr(0, colon));
    if (colon != std::string_view::npos) port = authority.substr(colon + 1);
    constexpr std::string_view kHostBytes =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_";
    if (parsed.host.find_first_not_of(kHostBytes) != std::string::npos) return std::nullopt;
  }
  if (parsed.host.empty() || parsed.host.size() > 255) return std::nullopt;
  if (!port.empty() || authority.back() == ':') {
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string_view::npos) {
      return std::nullopt;
    }
    const unsigned long number = std::stoul(std::string(port));
    if (number == 0 || number > 65535) return std::nullopt;
    parsed.port = static_cast<uint16_t>(number);
  }
  return parsed;
}

std::string BuildWsdMetadataGet(std::string_view message_id, std::string_view endpoint) {
  return Message(endpoint, "http://schemas.xmlsoap.org/ws/2004/09/transfer/Get", message_id,
                 "<wsa:ReplyTo><wsa:Address>"
                 "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous"
                 "</wsa:Address></wsa:ReplyTo>",
                 "");
}

bool IsUsableComputerName(std::string_view name) {
  if (name.empty() || name.size() > 255) return false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || c == '\\' || c == '/' || c == ':') return false;
  }
  return true;
}

std::optional<WsdComputer> ParsePubComputerValue(std::string_view value) {
  value = TrimXmlSpace(value);
  WsdComputer computer;
  const size_t slash = value.find('/');
  computer.name = std::string(value.substr(0, slash));
  if (!IsUsableComputerName(computer.name)) return std::nullopt;
  if (slash == std::string_view::npos) return computer;
  const std::string_view membership = value.substr(slash + 1);
  const size_t colon = membership.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view kind = membership.substr(0, colon);
  const std::string group(membership.substr(colon + 1));
  if (!IsUsableComputerName(group)) return std::nullopt;
  if (kind == "Workgroup") {
    computer.workgroup = group;
  } else if (kind == "Domain") {
    computer.domain = group;
  } else {
    return std::nullopt;
  }
  return computer;
}

std::optional<WsdComputer> ParseWsdMetadataResponse(std::string_view body_text,
                                                    std::string_view get_message_id) {
  std::unique_ptr<XmlElement> document;
  const XmlElement* body =
      CheckedBody(body_text, kWsdMaxMetadataBytes, kGetResponseAction, get_message_id, &document);
  if (body == nullptr) return std::nullopt;
  // The first pub:Computer anywhere in the body (it sits in the host's
  // relationship section, whose nesting devices vary).
  std::vector<const XmlElement*> pending{body};
  while (!pending.empty()) {
    const XmlElement* element = pending.back();
    pending.pop_back();
    if (element->Is(kPubNs, "Computer")) return ParsePubComputerValue(element->text);
    for (auto it = element->children.rbegin(); it != element->children.rend(); ++it) {
      pending.push_back(it->get());
    }
  }
  return std::nullopt;
}

}  // namespace tellwen::net
