// The messages of the WS-Discovery search for computers, as pure functions
// (no sockets): the Probe sent to the discovery group (UDP 3702), the
// ProbeMatches that answer it, the Resolve and ResolveMatches that give the
// transport addresses of a match that came without them, and the metadata Get (WS-Transfer, SOAP
// over HTTP POST to one of a device's XAddrs) whose reply names the computer and its workgroup or
// domain.
//
// Every reply is untrusted: a reply that is too large, malformed, carries a
// document type declaration, has the wrong namespaces or action, answers
// another message, or holds an unusable name is dropped whole (nullopt).
//
// Thread safety: pure functions (NewMessageId reads the kernel's random
// source).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tellwen::net {

// Largest ProbeMatches datagram read, and largest metadata reply body.
inline constexpr size_t kWsdMaxDatagramBytes = 32 * 1024;
inline constexpr size_t kWsdMaxMetadataBytes = 256 * 1024;

// The SOAP content type of the metadata Get's HTTP POST.
inline constexpr std::string_view kWsdSoapContentType = "application/soap+xml";

// A fresh random (version 4) "urn:uuid:..." message identifier.
std::string NewMessageId();

// A Probe for devices (wsdp:Device, the type every responder answers; a
// computer's match names pub:Computer among its types), identified by
// `message_id`.
std::string BuildWsdProbe(std::string_view message_id);

struct WsdProbeMatch {
  std::string endpoint;             // EndpointReference address ("urn:uuid:...")
  std::vector<std::string> xaddrs;  // the device's http:// transport addresses
  bool is_computer = false;         // Types names pub:Computer
};

// The matches of a ProbeMatches reply to the Probe `probe_message_id`.
// Matches without an endpoint are left out; nullopt drops the packet.
std::optional<std::vector<WsdProbeMatch>> ParseWsdProbeMatches(std::string_view packet,
                                                               std::string_view probe_message_id);

// A Resolve for `endpoint`, sent to the discovery group when its match
// carried no XAddrs; the ResolveMatches reply carries them.
std::string BuildWsdResolve(std::string_view message_id, std::string_view endpoint);
std::optional<std::vector<WsdProbeMatch>> ParseWsdResolveMatches(
    std::string_view packet, std::string_view resolve_message_id);

// The parts of an http:// XAddr the metadata Get connects to.
struct HttpXAddr {
  std::string host;  // IPv4 dotted, IPv6 without brackets, or a host name
  uint16_t port = 80;
  std::string path;  // "/..." as sent in the request line
};

// nullopt for anything but "http://host[:port][/path]" with a plain host
// (no user part, a port from 1 to 65535). The caller connects only where
// `host` is the address the match came from, so that a reply cannot send
// the indexer to another machine.
std::optional<HttpXAddr> ParseHttpXAddr(std::string_view xaddr);

// The SOAP body of the metadata Get sent to `endpoint` (over one of its XAddrs).
std::string BuildWsdMetadataGet(std::string_view message_id, std::string_view endpoint);

struct WsdComputer {
  std::string name;       // the computer's name, as "\\" + name names it
  std::string workgroup;  // set when it is in a workgroup
  std::string domain;     // set when it is in a domain
};

// The computer described by a metadata Get reply to `get_message_id`: its
// pub:Computer value, "NAME/Workgroup:WG", "NAME/Domain:DOM" or "NAME".
std::optional<WsdComputer> ParseWsdMetadataResponse(std::string_view body,
                                                    std::string_view get_message_id);

// "NAME/Workgroup:WG" and the like taken apart; nullopt for an unusable name.
std::optional<WsdComputer> ParsePubComputerValue(std::string_view value);

// A name usable as a computer or workgroup name: 1 to 255 bytes, no control
// characters, no "\", "/" or ":" (which the system's network names and the
// pub:Computer value use as separators).
bool IsUsableComputerName(std::string_view name);

}  // namespace tellwen::net
