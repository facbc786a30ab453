// The XML reader on hostile documents (entities, document types, nesting,
// size) and the namespace resolution the discovery messages rely on.
#include "platform/net/xml_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace tellwen::net {
namespace {

TEST(XmlReader, RefusesDocumentTypesAndEntities) {
  // Entity expansion, external entities (a file, the network) and a bare
  // document type: none is ever read or expanded.
  const char* const documents[] = {
      "<!DOCTYPE a [<!ENTITY x \"xxxxxxxx\"><!ENTITY y \"&x;&x;&x;&x;&x;&x;\">]><a>&y;</a>",
      "<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a>&x;</a>",
      "<!DOCTYPE a SYSTEM \"http://127.0.0.1:9/a.dtd\"><a/>",
      "<!DOCTYPE a [<!ENTITY % p SYSTEM \"http://127.0.0.1:9/p\"> %p;]><a/>",
      "<a>&undeclared;</a>",
  };
  for (const char* document : documents) {
    EXPECT_EQ(ParseXml(document), nullptr) << document;
  }
}

TEST(XmlReader, RefusesMalformedOversizedAndTooDeep) {
  EXPECT_EQ(ParseXml(""), nullptr);
  EXPECT_EQ(ParseXml("<a><b></a>"), nullptr);
  EXPECT_EQ(ParseXml("<a>\xff</a>"), nullptr);  // not UTF-8
  EXPECT_EQ(ParseXml("<a>&#1;</a>"), nullptr);  // not an XML 1.0 character
  EXPECT_EQ(ParseXml("<p:a/>"), nullptr);       // undeclared prefix
  XmlLimits limits;
  limits.max_bytes = 10;
  EXPECT_EQ(ParseXml("<a>0123456789</a>", limits), nullptr);
  std::string deep;
  for (int i = 0; i < 40; ++i) deep += "<a>";
  for (int i = 0; i < 40; ++i) deep += "</a>";
  EXPECT_EQ(ParseXml(deep), nullptr);
  std::string wide = "<a>";
  for (int i = 0; i < 5000; ++i) wide += "<b/>";
  wide += "</a>";
  EXPECT_EQ(ParseXml(wide), nullptr);
}

TEST(XmlReader, NamesElementsByNamespaceAndResolvesPrefixes) {
  const auto root = ParseXml(
      "<r:root xmlns:r=\"urn:r\" xmlns:p=\"urn:outer\">"
      "<r:child xmlns:p=\"urn:inner\"> p:x <leaf xmlns=\"urn:d\"/></r:child>"
      "<child/></r:root>");
  ASSERT_NE(root, nullptr);
  EXPECT_TRUE(root->Is("urn:r", "root"));
  const XmlElement* child = root->Child("urn:r", "child");
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(TrimXmlSpace(child->text), "p:x");
  EXPECT_EQ(child->ResolvePrefix("p"), "urn:inner");
  EXPECT_EQ(root->ResolvePrefix("p"), "urn:outer");
  EXPECT_NE(child->Child("urn:d", "leaf"), nullptr);
  EXPECT_EQ(root->ResolvePrefix("q"), std::nullopt);
  EXPECT_EQ(root->Children("", "child").size(), 1u);
}

}  // namespace
}  // namespace tellwen::net
