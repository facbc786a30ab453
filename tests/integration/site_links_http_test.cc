// Every page kind of the site over HTTP through kivweb, with every "/kiv/"
// reference it holds (images, backgrounds, icons, behaviours, scripts)
// fetched: each one must be a file the site lays out.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "tests/integration/search_site.h"

namespace tellwen::testing {
namespace {

// The "/kiv/..." references of a page, whatever attribute, style or script
// holds them.
std::set<std::string> KivReferences(const std::string& body) {
  std::set<std::string> found;
  const std::regex reference("/kiv/[A-Za-z0-9_.-]+");
  for (auto it = std::sregex_iterator(body.begin(), body.end(), reference);
       it != std::sregex_iterator(); ++it) {
    found.insert(it->str());
  }
  return found;
}

class SitePagesLinks : public SearchSiteTest {};

TEST_F(SitePagesLinks, EveryKivReferenceOfEveryPageKindAnswers) {
  ServeCatalog({{"//PC1", "music", "", "", "*", 0},
                {"//PC1", "music", "", "", "song.mp3", 120},
                {"//PC1", "music", "", "rock", "*", 0},
                {"//PC1", "music", "", "rock", "song live.mp3", 4000},
                {"//PC2", "docs", "", "", "*", 0},
                {"//PC2", "docs", "", "", "notes.txt", 3}});
  Set("GenerateLogForStatistics", "1");
  Set("WebProxyEnabled", "1");
  Set("SecurityAllAreMembers", "1");
  Set("CategoriesEdit", "0|Music/*.mp3|Text/*.txt");

  const std::string script = "/scripts/KIVQuery.so?";
  // Page kind -> address; searches first, so that the statistics have rows.
  const std::vector<std::pair<std::string, std::string>> pages = {
      {"entry page", "/kiv/default.htm"},
      {"home", script + "Command"},
      {"results", script + SearchQuery("song")},
      {"results with folders", script + SearchQuery("rock")},
      {"no results", script + SearchQuery("nothingmatches")},
      {"invalid string", script + SearchQuery("a%2Fb")},
      {"browse", script + "Command?stats=browse"},
      {"browse computers", script + "Command?stats=browse&t=a"},
      {"browse shares", script + "Command?stats=browse&t=b&path=//PC1"},
      {"browse folders", script + "Command?stats=browse&t=c&path=//PC1/music"},
      {"statistics", script + "Command?stats=yes"},
      {"top shares", script + "Command?stats=yes&path=topshares"},
      {"category top shares", script + "Command?stats=yes&path=topshares&t=1"},
      {"categories", script + "Command?stats=yes&path=categories"},
      {"last queries", script + "Command?stats=yes&path=lastqueries"},
      {"files", script + "Command?stats=yes&path=files"},
      {"charts", script + "Command?stats=yes&path=charts"},
      {"faq", script + "Command?page=faq"},
  };
  std::map<std::string, std::string> referenced_by;
  for (const auto& [kind, address] : pages) {
    const HttpResponse page = Get(kivweb_.port(), address);
    ASSERT_EQ(page.status, 200) << kind;
    const std::set<std::string> references = KivReferences(page.body);
    EXPECT_FALSE(references.empty()) << kind << " refers to no web file";
    for (const std::string& reference : references) referenced_by.emplace(reference, kind);
  }
  // The download column's two images are among them.
  EXPECT_EQ(referenced_by.count("/kiv/dload.gif"), 1u);
  EXPECT_EQ(referenced_by.count("/kiv/dloadna.gif"), 1u);
  for (const auto& [reference, kind] : referenced_by) {
    const HttpResponse file = Get(kivweb_.port(), reference);
    EXPECT_EQ(file.status, 200) << reference << " (from " << kind << ")";
    EXPECT_FALSE(file.body.empty()) << reference << " (from " << kind << ")";
  }
  // The image answers: the ping and a chart are images themselves.
  for (const std::string& image : {script + "Command?stats=ping&path=127.0.0.1&t=1",
                                   script + "Command?stats=chart&path=1&t=1"}) {
    const HttpResponse answer = Get(kivweb_.port(), image);
    EXPECT_EQ(answer.status, 200) << image;
    EXPECT_FALSE(answer.body.empty()) << image;
  }
}

}  // namespace
}  // namespace tellwen::testing
