// A small namespace-aware XML reader for untrusted network input (the
// discovery replies of other machines), built on expat.
//
// The document becomes a tree of elements, each named by its namespace URI
// and local name, holding its own character data and the namespace prefixes
// it declares (so that QName values such as "pub:Computer" can be resolved).
// Refused, with nothing returned: input over the size limit, malformed XML,
// any document type declaration (so no entities of any kind, internal or
// external), nesting or element counts over the limits. The parser never
// opens a file or the network.
//
// Thread safety: pure functions; a returned tree is immutable.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tellwen::net {

struct XmlLimits {
  size_t max_bytes = 64 * 1024;
  size_t max_depth = 32;
  size_t max_elements = 4096;
};

class XmlElement {
 public:
  std::string ns;     // namespace URI, "" when none
  std::string local;  // local name
  std::string text;   // character data directly inside this element
  // (prefix, URI) pairs declared on this element; prefix "" is the default.
  std::vector<std::pair<std::string, std::string>> declared_namespaces;
  // (namespace URI, local name, value) of each attribute.
  struct Attribute {
    std::string ns;
    std::string local;
    std::string value;
  };
  std::vector<Attribute> attributes;
  std::vector<std::unique_ptr<XmlElement>> children;
  const XmlElement* parent = nullptr;

  bool Is(std::string_view want_ns, std::string_view want_local) const {
    return ns == want_ns && local == want_local;
  }
  // First child with that name, or nullptr.
  const XmlElement* Child(std::string_view want_ns, std::string_view want_local) const;
  // Every child with that name, in document order.
  std::vector<const XmlElement*> Children(std::string_view want_ns,
                                          std::string_view want_local) const;
  // The URI that `prefix` stands for here ("xml" is always bound).
  std::optional<std::string> ResolvePrefix(std::string_view prefix) const;
};

// The document's root element, or nullptr when the input is refused.
std::unique_ptr<XmlElement> ParseXml(std::string_view bytes, const XmlLimits& limits = {});

// `text` with leading and trailing XML white space removed.
std::string_view TrimXmlSpace(std::string_view text);

// Escapes &, <, >, " and ' for use in element text or attribute values.
std::string XmlEscape(std::string_view text);

}  // namespace tellwen::net
