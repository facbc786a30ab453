#include "platform/net/xml_reader.h"

#include <expat.h>

#include <climits>

namespace tellwen::net {
namespace {

// Separates namespace URI and local name in the names expat reports; a
// control character that no XML 1.0 document can hold.
constexpr char kSeparator = '\x01';

struct Builder {
  XML_Parser parser = nullptr;
  const XmlLimits* limits = nullptr;
  std::unique_ptr<XmlElement> root;
  XmlElement* current = nullptr;
  size_t depth = 0;
  size_t elements = 0;
  bool refused = false;
  std::vector<std::pair<std::string, std::string>> pending_namespaces;

  void Refuse() {
    if (!refused) {
      refused = true;
      XML_StopParser(parser, XML_FALSE);
    }
  }
};

void SplitName(const XML_Char* name, std::string* ns, std::string* local) {
  const std::string_view full(name);
  const size_t cut = full.find(kSeparator);
  if (cut == std::string_view::npos) {
    ns->clear();
    local->assign(full);
  } else {
    ns->assign(full.substr(0, cut));
    local->assign(full.substr(cut + 1));
  }
}

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto* b = static_cast<Builder*>(data);
  if (b->refused) return;
  if (++b->elements > b->limits->max_elements || b->depth + 1 > b->limits->max_depth) {
    b->Refuse();
    return;
  }
  auto element = std::make_unique<XmlElement>();
  SplitName(name, &element->ns, &element->local);
  element->declared_namespaces = std::move(b->pending_namespaces);
  b->pending_namespaces.clear();
  for (size_t i = 0; attributes[i] != nullptr && attributes[i + 1] != nullptr; i += 2) {
    XmlElement::Attribute attribute;
    SplitName(attributes[i], &attribute.ns, &attribute.local);
    attribute.value = attributes[i + 1];
    element->attributes.push_back(std::move(attribute));
  }
  XmlElement* raw = element.get();
  if (b->current == nullptr) {
    b->root = std::move(element);
  } else {
    raw->parent = b->current;
    b->current->children.push_back(std::move(element));
  }
  b->current = raw;
  ++b->depth;
}

void XMLCALL OnEnd(void* data, const XML_Char* /*name*/) {
  auto* b = static_cast<Builder*>(data);
  if (b->refused || b->current == nullptr) return;
  b->current = const_cast<XmlElement*>(b->current->parent);
  --b->depth;
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
  auto* b = static_cast<Builder*>(data);
  if (b->refused || b->current == nullptr || length <= 0) return;
  b->current->text.append(text, static_cast<size_t>(length));
}

void XMLCALL OnNamespace(void* data, const XML_Char* prefix, const XML_Char* uri) {
  auto* b = static_cast<Builder*>(data);
  b->pending_namespaces.emplace_back(prefix == nullptr ? "" : prefix, uri == nullptr ? "" : uri);
}

// Any document type declaration ends the parse: discovery messages never
// carry one, and without it no entity can be declared.
void XMLCALL OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  static_cast<Builder*>(data)->Refuse();
}

void XMLCALL OnEntity(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                      const XML_Char*, const XML_Char*, const XML_Char*) {
  static_cast<Builder*>(data)->Refuse();
}

}  // namespace

const XmlElement* XmlElement::Child(std::string_view want_ns, std::string_view want_local) const {
  for (const auto& child : children) {
    if (child->Is(want_ns, want_local)) return child.get();
  }
  return nullptr;
}

std::vector<const XmlElement*> XmlElement::Children(std::string_view want_ns,
                                                    std::string_view want_local) const {
  std::vector<const XmlElement*> found;
  for (const auto& child : children) {
    if (child->Is(want_ns, want_local)) found.push_back(child.get());
  }
  return found;
}

std::optional<std::string> XmlElement::ResolvePrefix(std::string_view prefix) const {
  if (prefix == "xml") return std::string("http://www.w3.org/XML/1998/namespace");
  for (const XmlElement* e = this; e != nullptr; e = e->parent) {
    for (const auto& [declared, uri] : e->declared_namespaces) {
      if (declared == prefix) {
        if (uri.empty()) return std::nullopt;  // undeclared again (xmlns:p="")
        return uri;
      }
    }
  }
  return std::nullopt;
}

std::unique_ptr<XmlElement> ParseXml(std::string_view bytes, const XmlLimits& limits) {
  if (bytes.size() > limits.max_bytes || bytes.size() > static_cast<size_t>(INT_MAX)) {
    return nullptr;
  }
  Builder b;
  b.limits = &limits;
  b.parser = XML_ParserCreateNS(nullptr, kSeparator);
  if (b.parser == nullptr) return nullptr;
  XML_SetUserData(b.parser, &b);
  XML_SetElementHandler(b.parser, OnStart, OnEnd);
  XML_SetCharacterDataHandler(b.parser, OnText);
  XML_SetStartNamespaceDeclHandler(b.parser, OnNamespace);
  XML_SetStartDoctypeDeclHandler(b.parser, OnDoctype);
  XML_SetEntityDeclHandler(b.parser, OnEntity);
  XML_SetParamEntityParsing(b.parser, XML_PARAM_ENTITY_PARSING_NEVER);
  const XML_Status status =
      XML_Parse(b.parser, bytes.data(), static_cast<int>(bytes.size()), XML_TRUE);
  XML_ParserFree(b.parser);
  if (status != XML_STATUS_OK || b.refused || b.root == nullptr) return nullptr;
  return std::move(b.root);
}

std::string_view TrimXmlSpace(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n";
  const size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(kSpace);
  return text.substr(first, last - first + 1);
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace tellwen::net
