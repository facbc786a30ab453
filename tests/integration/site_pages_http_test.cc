// The site's pages over HTTP through kivweb, over a catalog loaded by the
// update job: the statistics pages after searches made through the site, the
// browse frames walked link by link, the on-demand ping, and downloads from a
// private smbd on 127.0.0.1.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include "platform/net/credentials_file.h"
#include "query/escape.h"
#include "tests/integration/search_site.h"
#include "tests/integration/smbd_server.h"
#include "tests/support/file_text.h"
#include "tests/support/matchers.h"
#include "tests/support/slow_clients.h"

namespace tellwen::testing {
namespace {

const char kScript[] = "/scripts/KIVQuery.so";
const char kHostile[] = "<img src=x onerror=alert(1)>.txt";
// A folder name that needs escaping in HTML, in a URL and in SQL.
const char kOddFolder[] = "<i>x & 'q'";

std::string ReadAll(const std::string& path) { return FileText(path); }

// An attribute value as the browser reads it.
std::string AttrValue(std::string text) {
  for (const auto& [entity, c] : std::vector<std::pair<std::string, std::string>>{{"&quot;", "\""},
                                                                                  {"&#39;", "'"},
                                                                                  {"&#039;", "'"},
                                                                                  {"&lt;", "<"},
                                                                                  {"&gt;", ">"},
                                                                                  {"&amp;", "&"}}) {
    for (size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at)) {
      text.replace(at, entity.size(), c);
      at += c.size();
    }
  }
  return text;
}

// The href of the link whose paragraph shows label (as HTML): what a click
// on that entry of a frame requests. "" when there is none.
std::string LinkOf(const std::string& body, const std::string& label_html) {
  const size_t label = body.find(">" + label_html + "</p></a>");
  if (label == std::string::npos) return std::string();
  const size_t anchor = body.rfind("<a ", label);
  const size_t href = body.find("href=", anchor);
  if (anchor == std::string::npos || href == std::string::npos || href > label) return "";
  const char quote = body[href + 5];
  const size_t end = body.find(quote, href + 6);
  return AttrValue(body.substr(href + 6, end - href - 6));
}

// The browse frame's location trail: the text the frame's script puts into
// the outer page (a JavaScript string literal).
std::string Trail(const std::string& frame) {
  const std::string start = "parent.cale.innerHTML=\"";
  const size_t at = frame.find(start);
  if (at == std::string::npos) return std::string();
  std::string trail;
  for (size_t i = at + start.size(); i < frame.size() && frame[i] != '"'; ++i) {
    if (frame[i] == '\\' && i + 3 < frame.size() && frame[i + 1] == 'x') {
      trail += static_cast<char>(std::stoi(frame.substr(i + 2, 2), nullptr, 16));
      i += 3;
      continue;
    }
    if (frame[i] == '\\' && i + 1 < frame.size()) ++i;
    trail += frame[i];
  }
  return trail;
}

// The texts of the <p> elements with class cls, in page order.
std::vector<std::string> Paragraphs(const std::string& body, const std::string& cls) {
  std::vector<std::string> out;
  const std::regex p("<p class=" + cls + ">([^<]*)</p>");
  for (auto it = std::sregex_iterator(body.begin(), body.end(), p); it != std::sregex_iterator();
       ++it) {
    out.push_back((*it)[1]);
  }
  return out;
}

// Whether done() comes true within ten seconds (what a request does after
// its answer has gone: report lines, statistics rows).
template <typename Done>
bool Eventually(Done done) {
  for (int i = 0; i < 200; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return done();
}

std::vector<Entry> SiteCatalog(int songs) {
  std::vector<Entry> e;
  e.push_back({"//PC1", "music", "", "", "*", 0});
  e.push_back({"//PC1", "music", "", "", "readme.txt", 2});
  e.push_back({"//PC1", "music", "", "rock", "*", 0});
  for (int i = 0; i < songs; ++i) {
    e.push_back({"//PC1", "music", "", "rock", "song" + std::to_string(i) + ".mp3", 100 + i % 7});
  }
  e.push_back({"//PC1", "music", "rock", "live", "*", 0});
  e.push_back({"//PC1", "music", "rock", "live", "encore.mp3", 4000});
  e.push_back({"//PC2", "docs", "", "", "*", 0});
  e.push_back({"//PC2", "docs", "", "", kHostile, 3});
  e.push_back({"//PC2", "docs", "", "", "report.doc", 12});
  e.push_back({"//PC2", "docs", "", kOddFolder, "*", 0});
  e.push_back({"//PC2", "docs", "", kOddFolder, "inner.txt", 1});
  e.push_back({"//O'Neil", "it's", "", "", "*", 0});
  e.push_back({"//O'Neil", "it's", "", "", "notes.txt", 5});
  return e;
}

class SitePages : public SearchSiteTest {
 protected:
  void SetUp() override {
    SearchSiteTest::SetUp();
    Set("GenerateLogForStatistics", "1");
    Set("CategoriesEdit", "0|Music/*.mp3|Text/*.txt");
    Set("ShouldReport", "1");
    Set("ReportFile", dir_.path() + "/report.txt");
    Set("ShouldShortReport", "1");
    Set("ReportFileShort", dir_.path() + "/short.txt");
    Set("ReportFileShortDaily", "0");
  }
  HttpResponse Stats(const std::string& path) {
    return Page("Command?stats=yes" + (path.empty() ? "" : "&path=" + path));
  }
  HttpResponse Frame(const std::string& path, const std::string& t) {
    return Page("Command?stats=browse&path=" + path + "&t=" + t);
  }
  HttpResponse Follow(const std::string& href) {
    EXPECT_THAT(href, StartsWith(std::string(kScript) + "?Command?"));
    return Get(kivweb_.port(), href);
  }
  std::string ShortReport() { return ReadAll(dir_.path() + "/short.txt"); }
  std::string DetailReport() { return ReadAll(dir_.path() + "/report.txt"); }
  // Every page of the site is whole and carries no error block.
  static void ExpectWholePage(const HttpResponse& page, const std::string& what) {
    EXPECT_EQ(page.status, 200) << what;
    EXPECT_THAT(page.body, EndsWith("</html>")) << what;
    EXPECT_THAT(page.body, Not(HasSubstr("fatal ERROR"))) << what;
    EXPECT_THAT(page.body, Not(HasSubstr("An error has occurred"))) << what;
  }
};

// ---------------------------------------------------------------------------
// Statistics pages.

TEST_F(SitePages, StatisticsPagesShowTheCatalogAndTheSearchesMadeThroughTheSite) {
  constexpr int kSongs = 1010;
  ServeCatalog(SiteCatalog(kSongs));
  const int counter_before = std::stoi(Setting("WebCounter").empty() ? "0" : Setting("WebCounter"));
  // What a visitor does first: the home page twice, three searches.
  ExpectWholePage(Page("Command?"), "home");
  ExpectWholePage(Page("Command?"), "home again");
  const HttpResponse found = Page(SearchQuery("encore"));
  ExpectWholePage(found, "search encore");
  EXPECT_THAT(found.body, HasSubstr("encore.mp3"));
  ExpectWholePage(Page(SearchQuery("rock%26roll")), "search rock&roll");
  ExpectWholePage(Page(SearchQuery("song100", 0, 20)), "search song100");

  // The counters: the visitor number, one access row per home page, one
  // search row per search with the number of results it found.
  EXPECT_EQ(std::stoi(Setting("WebCounter")), counter_before + 2);
  EXPECT_EQ(One("select count(*) from stat_access"), "2");
  const SqlRows searches =
      Query("select stringu, cate_a_intors from stat_searchs order by data, stringu", 2);
  ASSERT_EQ(searches.size(), 3u) << "search log rows";
  std::map<std::string, std::string> results;
  for (const SqlRow& row : searches) results[row[0]] = row[1];
  EXPECT_EQ(results["encore"], "1");
  EXPECT_EQ(results["rock&roll"], "0");
  // song100 and song1000 .. song1009.
  EXPECT_EQ(results["song100"], "11");

  // Last queries: each search, newest first, escaped, done.
  const HttpResponse last = Stats("lastqueries");
  ExpectWholePage(last, "last queries");
  EXPECT_THAT(last.body, HasSubstr("&nbsp;Last&nbsp;queries&nbsp;"));
  EXPECT_THAT(last.body, HasSubstr(">encore</p>"));
  EXPECT_THAT(last.body, HasSubstr(">rock&amp;roll</p>"));
  EXPECT_THAT(last.body, Not(HasSubstr("rock&roll")));
  EXPECT_THAT(last.body, HasSubstr(">song100</p>"));
  EXPECT_EQ(Occurrences(last.body, "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;done"), 3u);
  EXPECT_THAT(last.body, Not(HasSubstr("running...")));
  EXPECT_THAT(last.body, Not(HasSubstr("error!")));
  EXPECT_THAT(last.body, HasSubstr("<b class='indreaptadeforma'>queries</b>"));

  // Misc: the web server's name and uptime first, then the update's rows.
  const HttpResponse misc = Stats("");
  ExpectWholePage(misc, "misc");
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  std::string upper = host;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_THAT(misc.body, HasSubstr("&nbsp;web server:&nbsp;</p></td><td align=right><p "
                                   "class='stattext'>&nbsp;&nbsp;" +
                                   query::HtmlEscape(upper) + "&nbsp;</p>"));
  EXPECT_TRUE(std::regex_search(
      misc.body, std::regex("uptime:&nbsp;</p></td><td align=right><p class='stattext'>&nbsp;"
                            "&nbsp;(\\d+ days? )?\\d\\d:\\d\\d:\\d\\d&nbsp;")))
      << misc.body.substr(0, 3000);
  // 1010 songs, encore.mp3, readme.txt, the hostile name, report.doc,
  // inner.txt and notes.txt, grouped by thousands.
  EXPECT_THAT(misc.body, HasSubstr("files number:&nbsp;</p></td><td align=right><p "
                                   "class='stattext'>&nbsp;&nbsp;1.016&nbsp;"));
  EXPECT_THAT(misc.body, HasSubstr("computers number:&nbsp;</p></td><td align=right><p "
                                   "class='stattext'>&nbsp;&nbsp;3&nbsp;"));
  EXPECT_THAT(misc.body, HasSubstr("<b class='indreaptadeforma'>misc</b>"));
  // Sizes in kilobytes as the site writes them: 1010 songs of 100..106 KB.
  long long total_kb = 2 + 4000 + 3 + 12 + 1 + 5;
  for (int i = 0; i < kSongs; ++i) total_kb += 100 + i % 7;
  EXPECT_EQ(One("select value from stat where property = 'total files size:'"),
            std::to_string(total_kb));
  const std::string digits = std::to_string(total_kb);  // 6 digits: "nnnMb"
  ASSERT_EQ(digits.size(), 6u);
  EXPECT_THAT(misc.body, HasSubstr("total files size:&nbsp;</p></td><td align=right><p "
                                   "class='stattext'>&nbsp;&nbsp;" +
                                   digits.substr(0, 3) + "Mb&nbsp;"));

  // Top shares: the computers by size, largest first, each with its browse
  // link; the apostrophe of O'Neil escaped in the link.
  const HttpResponse top = Stats("topshares");
  ExpectWholePage(top, "top shares");
  const size_t pc1 = top.body.find(">PC1</a>");
  const size_t pc2 = top.body.find(">PC2</a>");
  const size_t oneil = top.body.find(">O'Neil</a>");
  ASSERT_NE(pc1, std::string::npos);
  ASSERT_NE(pc2, std::string::npos);
  ASSERT_NE(oneil, std::string::npos);
  EXPECT_LT(pc1, pc2);
  EXPECT_LT(pc2, oneil);  // 16 KB against 5 KB
  EXPECT_THAT(top.body,
              HasSubstr("href='/scripts/KIVQuery.so?Command?stats=browse&path=%2F%2FPC1'"));
  EXPECT_THAT(top.body, HasSubstr("?Command?stats=browse&path=%2F%2FO%27Neil'"));
  EXPECT_THAT(top.body, HasSubstr("&nbsp;1.012</p>"));  // PC1's file count
  EXPECT_THAT(top.body, HasSubstr("class='sortable'"));
  EXPECT_THAT(top.body, HasSubstr("src='/kiv/sorttable.js'"));
  EXPECT_EQ(Get(kivweb_.port(), "/kiv/sorttable.js").status, 200);

  // Top shares of a category: the category's name in the title, its files.
  const HttpResponse music = Page("Command?stats=yes&path=topshares&t=1");
  ExpectWholePage(music, "top shares of Music");
  EXPECT_THAT(music.body, HasSubstr("&nbsp;Top&nbsp;shares&nbsp;for&nbsp;category&nbsp;'Music'"));
  EXPECT_THAT(music.body, HasSubstr(">PC1</a>"));
  EXPECT_THAT(music.body, HasSubstr("&nbsp;1.011</p>"));  // the songs and encore.mp3
  // A category number that is no number lists nothing and breaks nothing.
  const HttpResponse odd = Page("Command?stats=yes&path=topshares&t=1%27%3Bdrop");
  ExpectWholePage(odd, "top shares of an odd category");
  EXPECT_THAT(odd.body, Not(HasSubstr(">PC1</a>")));

  // Categories: each with its pattern, count and the link to its top shares.
  const HttpResponse categories = Stats("categories");
  ExpectWholePage(categories, "categories");
  EXPECT_THAT(categories.body, HasSubstr("&nbsp;Music&nbsp;<br>"));
  EXPECT_THAT(categories.body, HasSubstr("&nbsp;Text&nbsp;<br>"));
  EXPECT_THAT(categories.body, HasSubstr(">*.mp3</p>"));
  EXPECT_THAT(
      categories.body,
      HasSubstr(
          "href='/scripts/KIVQuery.so?Command?stats=yes&path=topshares&t=2'>view top shares</a>"));
  EXPECT_THAT(categories.body, HasSubstr("&nbsp;1.011</p>"));
  EXPECT_THAT(categories.body, HasSubstr("&nbsp;4</p>"));  // readme, hostile, inner, notes

  // Files: one bar per size class, the fullest class 202px wide.
  const HttpResponse files = Stats("files");
  ExpectWholePage(files, "files");
  EXPECT_THAT(files.body, HasSubstr("&nbsp;Files&nbsp;"));
  EXPECT_EQ(Occurrences(files.body, "width:202px;"), 1u);  // 100k - 1M: the songs
  EXPECT_THAT(files.body, HasSubstr("&nbsp;1.010</p>"));
  EXPECT_EQ(Occurrences(files.body, "background-color:#e7e8ea;"), 8u);

  // Charts: the panel, and a chart drawn and sent as a PNG through kivweb.
  const HttpResponse charts = Stats("charts");
  ExpectWholePage(charts, "charts");
  for (const char* id : {"hbhb1", "hbhb2", "hbhb", "hbhb3", "hbhb4", "hbhb5", "imaginea", "haha",
                         "haha1", "haha2"}) {
    EXPECT_THAT(charts.body, HasSubstr(std::string("id=") + id)) << id;
  }
  EXPECT_THAT(charts.body, Not(HasSubstr("Charting service is currently stopped.")));
  for (const char* t : {"1", "0"}) {
    const HttpResponse chart =
        Page(std::string("Command?search=&recordfrom=&recordto=&dowait=&stats=chart&path=1&t=") +
             t + "&src=1");
    ASSERT_EQ(chart.status, 200);
    EXPECT_EQ(chart.Header("content-type"), "image/png");
    ASSERT_GT(chart.body.size(), 33u);
    EXPECT_EQ(chart.body.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(chart.body.substr(12, 4), "IHDR");
    auto be32 = [&](size_t at) {
      return (static_cast<unsigned char>(chart.body[at]) << 24) |
             (static_cast<unsigned char>(chart.body[at + 1]) << 16) |
             (static_cast<unsigned char>(chart.body[at + 2]) << 8) |
             static_cast<unsigned char>(chart.body[at + 3]);
    };
    EXPECT_EQ(be32(16), 443u);
    EXPECT_EQ(be32(20), 150u);
  }
  // Each page wrote its short-report line.
  const std::string report = ShortReport();
  for (const char* line :
       {" stats/misc", " stats/topshares", " stats/topshares  [1]", " stats/categories",
        " stats/lastqueries", " stats/files", " stats/charts"}) {
    EXPECT_THAT(report, HasSubstr(line)) << line;
  }
  EXPECT_THAT(DetailReport(), Not(HasSubstr("unexpected error")));
  EXPECT_EQ(kivweb_.Stop(), 0) << kivweb_.Log().substr(0, 2000);
}

TEST_F(SitePages, StatisticsPagesOfAnEmptyLogSayNotAvailable) {
  Set("GenerateLogForStatistics", "0");
  ServeCatalog(SiteCatalog(3));
  const HttpResponse last = Stats("lastqueries");
  ExpectWholePage(last, "last queries");
  EXPECT_THAT(last.body, HasSubstr(">N/A</p>"));
  const HttpResponse charts = Stats("charts");
  EXPECT_THAT(charts.body, HasSubstr("Charting service is currently stopped."));
  // Searches still show on the last-queries page; the search log stays empty.
  ExpectWholePage(Page(SearchQuery("song1")), "search");
  EXPECT_THAT(Stats("lastqueries").body, HasSubstr(">song1</p>"));
  EXPECT_EQ(One("select count(*) from stat_searchs"), "0");
}

// ---------------------------------------------------------------------------
// Browse frames.

TEST_F(SitePages, BrowseFramesWalkFromComputerToShareToFolders) {
  ServeCatalog(SiteCatalog(3));
  // The outer page holds the three frames on the path it was given.
  const HttpResponse outer = Page("Command?stats=browse");
  ExpectWholePage(outer, "outer page");
  for (const char* t : {"a", "b", "c"}) {
    EXPECT_THAT(outer.body, HasSubstr(std::string("?Command?stats=browse&path=default&t=") + t +
                                      "' height=400px"));
  }
  EXPECT_THAT(outer.body, HasSubstr("<span id=timpul>00:00</span>"));

  // Frame a: every computer, its link to its shares, the last scan date.
  const HttpResponse a = Frame("", "a");
  ExpectWholePage(a, "frame a");
  std::vector<std::string> computers = Paragraphs(a.body, "ptab1");
  std::sort(computers.begin(), computers.end());
  EXPECT_EQ(computers, (std::vector<std::string>{"O'Neil", "PC1", "PC2"}));
  EXPECT_EQ(Occurrences(a.body, "<td class=rrr nowrap>15-02-2002</td>"), 3u);
  EXPECT_EQ(Trail(a.body), "<a href='/scripts/KIVQuery.so?Command?stats=browse&path='>/</a>");

  // A click on PC2: its shares in frame b, frame c at the computer.
  const std::string to_pc2 = LinkOf(a.body, "PC2");
  ASSERT_EQ(to_pc2, std::string(kScript) + "?Command?stats=browse&path=%2F%2FPC2&t=b");
  EXPECT_THAT(a.body, HasSubstr("parent.frames[\"c\"].location.href=\"/scripts/KIVQuery.so?"
                                "Command?stats=browse&path=%2F%2FPC2&t=c\""));
  const HttpResponse b = Follow(to_pc2);
  ExpectWholePage(b, "frame b");
  EXPECT_EQ(Paragraphs(b.body, "ptab"), std::vector<std::string>{"docs"});
  EXPECT_THAT(b.body, HasSubstr("<p class='ptab1'>..</p>"));
  const std::string base = "/scripts/KIVQuery.so?Command?stats=browse&path=";
  EXPECT_EQ(Trail(b.body), "<a href='" + base + "'>/</a><a href='" + base + "%2F%2FPC2'>PC2</a>");
  const HttpResponse c_computer = Frame("%2F%2FPC2", "c");
  ExpectWholePage(c_computer, "frame c at the computer");
  EXPECT_THAT(c_computer.body, Not(HasSubstr("class='ptab'")));

  // The share: its folder and files; no ".." at the share root.
  const std::string to_docs = LinkOf(b.body, "docs");
  ASSERT_EQ(to_docs, std::string(kScript) + "?Command?stats=browse&path=%2F%2FPC2%2Fdocs&t=c");
  const HttpResponse c = Follow(to_docs);
  ExpectWholePage(c, "frame c at the share");
  EXPECT_THAT(c.body, Not(HasSubstr(">..</p>")));
  // Names as text, never as markup.
  EXPECT_THAT(c.body, HasSubstr("<p class='ptab'>" + query::HtmlEscape(kHostile) +
                                "</p></td><td class=rrr nowrap>&nbsp;3Kb</td>"));
  EXPECT_THAT(c.body,
              HasSubstr("<p class='ptab'>report.doc</p></td><td class=rrr nowrap>&nbsp;12Kb</td>"));
  EXPECT_THAT(c.body, Not(HasSubstr("<img src=x")));
  EXPECT_THAT(c.body, Not(HasSubstr("<i>x")));
  EXPECT_EQ(Trail(c.body), "<a href='" + base + "'>/</a><a href='" + base +
                               "%2F%2FPC2'>PC2</a><a href='" + base + "%2F%2FPC2%2Fdocs'>docs</a>");

  // The odd folder: its link encodes every byte, its file listed, ".."
  // leads back to the share, the trail shows the folder escaped.
  const std::string to_odd = LinkOf(c.body, query::HtmlEscape(kOddFolder));
  ASSERT_EQ(to_odd,
            std::string(kScript) +
                "?Command?stats=browse&path=%2F%2FPC2%2Fdocs%2F%3Ci%3Ex%20%26%20%27q%27&t=c");
  EXPECT_THAT(c.body, HasSubstr(">" + query::HtmlEscape(kOddFolder) +
                                "</p></a></td><td class=rrr nowrap>&lt;dir&gt;</td>"));
  const HttpResponse odd = Follow(to_odd);
  ExpectWholePage(odd, "frame c in the odd folder");
  EXPECT_THAT(odd.body,
              HasSubstr("<p class='ptab'>inner.txt</p></td><td class=rrr nowrap>&nbsp;1Kb</td>"));
  EXPECT_EQ(LinkOf(odd.body, ".."), to_docs);
  EXPECT_THAT(odd.body, Not(HasSubstr("<i>x")));
  const std::string odd_trail = Trail(odd.body);
  EXPECT_THAT(odd_trail,
              EndsWith("%2F%2FPC2%2Fdocs%2F%3Ci%3Ex%20%26%20%27q%27'>&lt;i&gt;x &amp; 'q'</a>"));
  EXPECT_THAT(odd_trail, Not(HasSubstr("<i>")));

  // PC1: share, folder, sub-folder, and back up again.
  const HttpResponse music = Follow(LinkOf(Follow(LinkOf(a.body, "PC1")).body, "music"));
  ExpectWholePage(music, "PC1 music");
  EXPECT_THAT(music.body, HasSubstr(">rock</p></a></td><td class=rrr nowrap>&lt;dir&gt;</td>"));
  EXPECT_THAT(music.body, HasSubstr("<p class='ptab'>readme.txt</p>"));
  const HttpResponse rock = Follow(LinkOf(music.body, "rock"));
  ExpectWholePage(rock, "PC1 music rock");
  EXPECT_EQ(Paragraphs(rock.body, "'ptab'").size(), 1u + 1u + 3u);  // "..", live, 3 songs
  EXPECT_THAT(rock.body,
              HasSubstr("<p class='ptab'>song2.mp3</p></td><td class=rrr nowrap>&nbsp;102Kb"));
  const HttpResponse live = Follow(LinkOf(rock.body, "live"));
  ExpectWholePage(live, "PC1 music rock live");
  EXPECT_THAT(live.body,
              HasSubstr("<p class='ptab'>encore.mp3</p></td><td class=rrr nowrap>&nbsp;4.0Mb"));
  EXPECT_EQ(LinkOf(live.body, ".."),
            std::string(kScript) + "?Command?stats=browse&path=%2F%2FPC1%2Fmusic%2Frock&t=c");
  EXPECT_THAT(Trail(live.body), EndsWith("%2F%2FPC1%2Fmusic%2Frock%2Flive'>live</a>"));

  // A computer and a share with apostrophes reach spDir quoted.
  const HttpResponse oneil = Follow(LinkOf(a.body, "O'Neil"));
  ExpectWholePage(oneil, "O'Neil");
  EXPECT_EQ(Paragraphs(oneil.body, "ptab"), std::vector<std::string>{"it's"});
  const HttpResponse its = Follow(LinkOf(oneil.body, "it's"));
  ExpectWholePage(its, "O'Neil it's");
  EXPECT_THAT(its.body, HasSubstr("<p class='ptab'>notes.txt</p>"));

  EXPECT_THAT(ShortReport(),
              HasSubstr(" browse [c - //PC2/docs/" + std::string(kOddFolder) + "]: "));
  EXPECT_THAT(ShortReport(), HasSubstr(" browse [*]: "));
  EXPECT_THAT(DetailReport(), Not(HasSubstr("unexpected error")));
}

// ---------------------------------------------------------------------------
// On-demand ping.

// Whether kivweb's account may open an ICMP socket here: started as root,
// kivweb keeps the raw-socket capability when it drops to RunAsAccount();
// started by another user, it needs an unprivileged one (its group in
// net.ipv4.ping_group_range).
bool KivwebMayPing() {
  if (geteuid() == 0) return true;
  std::ifstream in("/proc/sys/net/ipv4/ping_group_range");
  long long low = 1, high = 0;
  in >> low >> high;
  return low <= static_cast<long long>(getgid()) && static_cast<long long>(getgid()) <= high;
}

std::string ScriptsImage(const std::string& site, const char* name) {
  return ReadAll(site + "/scripts/" + name);
}

// The site's pages stay reachable while slow clients hold connections: the
// server's own test measures a test extension, this one the FAQ page that the
// site serves with its settings read and its access checks run.
TEST_F(SitePages, FaqAndHomePageAnswerWhileIdleAndTricklingClientsHoldConnections) {
  if (!RaiseOpenFileLimit(1000 + 4 * 64 + 256)) GTEST_SKIP() << "ulimit -n too low";
  ServeCatalog(SiteCatalog(1));
  SlowClients clients(kivweb_.port());
  ASSERT_TRUE(clients.HoldIdle(1000));
  ASSERT_TRUE(clients.Trickle(64, std::string(kScript) + "?Command", "/kiv/default.htm"));
  const long faq =
      SlowestFreshAnswer(kivweb_.port(), std::string(kScript) + "?Command?page=faq", 4);
  const long home = SlowestFreshAnswer(kivweb_.port(), "/kiv/default.htm", 4);
  std::cout << "slowest fresh answer under 1000 idle and 128 trickling connections: FAQ page "
            << faq << " ms, home page file " << home << " ms\n";
  EXPECT_GE(faq, 0) << "the FAQ page was not answered";
  EXPECT_LT(faq, 1000);
  EXPECT_GE(home, 0) << "the home page file was not answered";
  EXPECT_LT(home, 1000);
}

TEST_F(SitePages, PingOfANameThatDoesNotResolveIsDeadWithNothingSent) {
  ServeCatalog(SiteCatalog(1));
  const HttpResponse ping = Page(
      "Command?search=&recordfrom=&recordto=&dowait=&stats=ping&path=no-such-computer.invalid&t=7");
  ASSERT_EQ(ping.status, 200);
  EXPECT_EQ(ping.Header("content-type"), "image/gif");
  EXPECT_EQ(ping.body, ScriptsImage(site_, "pingno.gif"));
  // No address: nothing was sent (an echo to 0.0.0.0 would reach this host).
  // The report line and the statistics row follow the answer.
  EXPECT_TRUE(Eventually([&] {
    return ShortReport().find(" ping  [no-such-computer.invalid]:  dead  (ip: 0.0.0.0)") !=
           std::string::npos;
  })) << ShortReport();
  EXPECT_TRUE(Eventually([&] {
    return One("select count(*) from stat_ping where status = 2 and is_destinatie = "
               "'no-such-computer.invalid'") == "1";
  }));
  // A name that could carry markup or SQL is dead and logged harmlessly.
  const HttpResponse hostile =
      Page("Command?search=&recordfrom=&recordto=&dowait=&stats=ping&path=a%27%3Cb%3E&t=8");
  EXPECT_EQ(hostile.body, ScriptsImage(site_, "pingno.gif"));
  EXPECT_TRUE(Eventually(
      [&] { return One("select count(*) from stat_ping where is_destinatie = 'a''<b>'") == "1"; }));
}

TEST_F(SitePages, PingOfTheLoopbackAddressIsAlive) {
  if (!KivwebMayPing()) {
    GTEST_SKIP() << "kivweb, not started as root, may open no ICMP socket here "
                    "(net.ipv4.ping_group_range); the loopback-only-check run allows it in its "
                    "own network namespace";
  }
  ServeCatalog(SiteCatalog(1));
  const HttpResponse ping =
      Page("Command?search=&recordfrom=&recordto=&dowait=&stats=ping&path=127.0.0.1&t=9");
  ASSERT_EQ(ping.status, 200);
  EXPECT_EQ(ping.Header("content-type"), "image/gif");
  EXPECT_EQ(ping.body, ScriptsImage(site_, "pingyes.gif")) << kivweb_.Log().substr(0, 2000);
  EXPECT_TRUE(Eventually([&] {
    return ShortReport().find(" ping  [127.0.0.1]:  alive  (ip: 127.0.0.1)") != std::string::npos;
  })) << ShortReport();
  EXPECT_TRUE(Eventually([&] {
    return One("select count(*) from stat_ping where status = 1 and is_destinatie = "
               "'127.0.0.1'") == "1";
  }));
}

// ---------------------------------------------------------------------------
// Downloads from a private smbd.

// A GET over HTTP/1.0 whose body is counted as it arrives, never kept.
struct Streamed {
  int status = 0;
  std::string head;
  long long bytes = 0;
  bool all_zero = true;
};

Streamed StreamGet(int port, const std::string& path) {
  Streamed out;
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return out;
  timeval timeout{60, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return out;
  }
  const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size())) {
    close(fd);
    return out;
  }
  std::vector<char> buffer(1 << 16);
  bool in_body = false;
  for (;;) {
    const ssize_t got = recv(fd, buffer.data(), buffer.size(), 0);
    if (got <= 0) break;
    size_t from = 0;
    if (!in_body) {
      out.head.append(buffer.data(), got);
      const size_t end = out.head.find("\r\n\r\n");
      if (end == std::string::npos) continue;
      in_body = true;
      const size_t body_in_head = out.head.size() - (end + 4);
      from = got - body_in_head;
      out.head.resize(end + 4);
    }
    for (size_t i = from; i < static_cast<size_t>(got); ++i) {
      if (buffer[i] != 0) out.all_zero = false;
    }
    out.bytes += got - static_cast<ssize_t>(from);
  }
  close(fd);
  if (out.head.compare(0, 5, "HTTP/") == 0) out.status = std::atoi(out.head.c_str() + 9);
  return out;
}

constexpr long long kBigBytes = 300LL * 1024 * 1024;
// A name with an apostrophe, a semicolon, a percent sign and non-ASCII
// letters (UTF-8). (A double quote is a wildcard character to SMB: no share
// serves a file of such a name.)
const char kQuotedName[] = "it's; \xC3\x9Cn\xC3\xAF % name.txt";

class SiteDownloads : public SitePages {
 protected:
  void SetUp() override {
    SitePages::SetUp();
    const std::string files = dir_.path() + "/tree/files";
    std::filesystem::create_directories(files + "/sub dir");
    std::mt19937 random(7);
    plain_.resize(200 * 1024 + 123);  // not a whole number of blocks
    for (char& c : plain_) c = static_cast<char>(random());
    std::ofstream(files + "/plain.bin", std::ios::binary) << plain_;
    std::ofstream(files + "/" + kQuotedName, std::ios::binary) << "quoted bytes\r\n";
    std::ofstream(files + "/sub dir/inner.bin", std::ios::binary) << "inner";
    const int fd = ::open((files + "/big.iso").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, kBigBytes), 0);  // sparse: no disk used
    ::close(fd);
    std::string error;
    ASSERT_TRUE(smbd_.Start(dir_.path(),
                            "[files]\n  path = " + files +
                                "\n  guest ok = yes\n  read only = yes\n  mangled names = no\n",
                            &error))
        << error;
    const std::string c = "//127.0.0.1";
    ServeCatalog({{c, "files", "", "", "*", 0},
                  {c, "files", "", "", "plain.bin", 200},
                  {c, "files", "", "", kQuotedName, 1},
                  {c, "files", "", "", "big.iso", kBigBytes / 1024},
                  {c, "files", "", "", "gone.bin", 1},
                  {c, "files", "", "sub dir", "*", 0},
                  {c, "files", "", "sub dir", "inner.bin", 1}},
                 {"TELLWEN_SMB_PORT=" + std::to_string(smbd_.port()),
                  "TELLWEN_SMB_CONF=" + SmbdServer::ClientConfig()});
  }
  std::string IdOf(const std::string& file) {
    std::string quoted;
    for (char ch : file) quoted += ch == '\'' ? std::string("''") : std::string(1, ch);
    return One("select id from aall where fn = '" + quoted + "'");
  }
  HttpResponse Download(const std::string& id) { return Page("Command?proxy=" + id); }

  SmbdServer smbd_;
  std::string plain_;
};

TEST_F(SiteDownloads, SendsTheFileOfACatalogIdToAPermittedCaller) {
  Set("WebProxyEnabled", "1");
  Set("SecurityAllAreMembers", "0");
  Set("WebMembersList", "|10.0.0.9|127.0.0.1");
  // The results page offers the download link; following it brings the bytes.
  const HttpResponse results = Page(SearchQuery("plain"));
  ExpectWholePage(results, "results");
  EXPECT_THAT(results.body, HasSubstr(">dload</p>"));
  const std::string link = "?Command?proxy=" + IdOf("plain.bin") + "'";
  ASSERT_THAT(results.body, HasSubstr(link));

  const HttpResponse plain = Download(IdOf("plain.bin"));
  ASSERT_EQ(plain.status, 200) << kivweb_.Log().substr(0, 2000);
  EXPECT_EQ(plain.Header("content-type"), "application/octet-stream");
  EXPECT_EQ(plain.Header("content-disposition"),
            "attachment; filename=\"plain.bin\"; filename*=UTF-8''plain.bin");
  ASSERT_EQ(plain.body.size(), plain_.size()) << plain.body.substr(0, 500) << kivweb_.Log();
  EXPECT_TRUE(plain.body == plain_) << "bytes differ";

  const HttpResponse quoted = Download(IdOf(kQuotedName));
  ASSERT_EQ(quoted.status, 200);
  EXPECT_EQ(quoted.body, "quoted bytes\r\n");
  EXPECT_EQ(quoted.Header("content-disposition"),
            "attachment; filename=\"it's_ __n__ % name.txt\"; "
            "filename*=UTF-8''it%27s%3B%20%C3%9Cn%C3%AF%20%25%20name.txt");
  const HttpResponse inner = Download(IdOf("inner.bin"));
  EXPECT_EQ(inner.body, "inner");

  // A catalogued file the share no longer has: the open's error, escaped.
  const HttpResponse gone = Download(IdOf("gone.bin"));
  EXPECT_EQ(gone.status, 200);
  EXPECT_THAT(gone.body, HasSubstr("FileOpen&nbsp;failed&nbsp;on&nbsp;"));
  EXPECT_THAT(gone.body, HasSubstr("gone.bin"));
  const std::string line = " download [" + IdOf("plain.bin") + "]";
  EXPECT_TRUE(Eventually([&] { return ShortReport().find(line) != std::string::npos; }))
      << ShortReport();
}

// A share that refuses the guest: its files come only with the scan
// account, and only where DownloadWithScanAccount allows it.
class SiteDownloadsWithScanAccount : public SitePages {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "adding a user to smbd's database needs root";
    SitePages::SetUp();
    if (HasFatalFailure()) return;
    const std::string files = dir_.path() + "/tree/private";
    std::filesystem::create_directories(files);
    std::ofstream(files + "/secret.bin", std::ios::binary) << "private bytes";
    std::string error;
    ASSERT_TRUE(smbd_.Start(dir_.path(),
                            "  map to guest = never\n  restrict anonymous = 2\n"
                            "[private]\n  path = " +
                                files + "\n  guest ok = no\n",
                            &error))
        << error;
    const std::string user = getpwuid(::geteuid())->pw_name;
    ASSERT_TRUE(smbd_.AddUser(user, "Dl-7pw", &error)) << error;
    Set("WebProxyEnabled", "1");
    Set("SecurityAllAreMembers", "1");
    const std::string c = "//127.0.0.1";
    ServeCatalog({{c, "private", "", "", "secret.bin", 1}},
                 {"TELLWEN_SMB_PORT=" + std::to_string(smbd_.port()),
                  "TELLWEN_SMB_CONF=" + SmbdServer::ClientConfig()});
    // The file is the web account's own, mode 0600, as it must be for the
    // site to offer the account (written after the site's tree was opened
    // up to that account).
    const std::string credentials = dir_.path() + "/scan.credentials";
    ASSERT_EQ(net::WriteCredentialsFile(credentials, net::NetAccount{user, "Dl-7pw", "", false}),
              "");
    if (const passwd* web = getpwnam(RunAsAccount().c_str())) {
      ASSERT_EQ(::chown(credentials.c_str(), web->pw_uid, web->pw_gid), 0);
    }
    Set("ScanCredentialsFile", credentials);
  }
  SmbdServer smbd_;
};

TEST_F(SiteDownloadsWithScanAccount, OnlyWhereTheSettingAllowsItAndForThatDownloadOnly) {
  const std::string id = One("select id from aall where fn = 'secret.bin'");
  const std::string page = "Command?proxy=" + id;
  Set("DownloadWithScanAccount", "0");
  EXPECT_THAT(Page(page).body, HasSubstr("Error was: 'access denied'"));
  Set("DownloadWithScanAccount", "1");
  EXPECT_EQ(Page(page).body, "private bytes") << ReadAll(dir_.path() + "/report.txt");
  // The account was offered for that download only.
  Set("DownloadWithScanAccount", "0");
  EXPECT_THAT(Page(page).body, HasSubstr("Error was: 'access denied'"));
  EXPECT_THAT(kivweb_.Log(), Not(HasSubstr("Dl-7pw")));
}

TEST_F(SiteDownloads, RefusesWhenDownloadsAreOffOrTheCallerIsNoMember) {
  const std::string id = IdOf("plain.bin");
  for (const auto& [enabled, all, members] :
       std::vector<std::tuple<std::string, std::string, std::string>>{
           {"0", "1", "|127.0.0.1"},
           {"", "1", ""},
           {"1", "0", "|10.0.0.9"},
           {"1", "0", "127.0.0.1"}}) {  // the list's first field is a placeholder
    Set("WebProxyEnabled", enabled);
    Set("SecurityAllAreMembers", all);
    Set("WebMembersList", members);
    const std::string what = enabled + "/" + all + "/" + members;
    const HttpResponse refused = Download(id);
    EXPECT_EQ(refused.status, 200) << what;
    EXPECT_EQ(refused.body, "") << what;
    EXPECT_EQ(refused.Header("content-disposition"), "") << what;
    EXPECT_THAT(Page(SearchQuery("plain")).body, Not(HasSubstr(">dload</p>"))) << what;
  }
  Set("WebProxyEnabled", "1");
  Set("SecurityAllAreMembers", "1");
  EXPECT_TRUE(Download(id).body == plain_);
}

TEST_F(SiteDownloads, AnIdOutsideTheCatalogOrNotANumberIsAnInvalidFile) {
  Set("WebProxyEnabled", "1");
  Set("SecurityAllAreMembers", "1");
  const std::string rows = One("select count(*) from aall");
  const std::string folder_id = One("select id from aall where fn = '*' and d2 = 'sub dir'");
  for (const std::string& id :
       {std::string("999999"), std::string("0"), folder_id, std::string("1%20or%201%3D1"),
        std::string("1%3Bdelete%20from%20aall"), std::string("-1"), std::string("0x10"),
        std::string("1e3"), std::string("%20") + IdOf("plain.bin"),
        std::string("99999999999999999999999")}) {
    const HttpResponse answer = Download(id);
    EXPECT_EQ(answer.status, 200) << id;
    EXPECT_THAT(answer.body, HasSubstr("Error: Invalid file")) << id;
    EXPECT_EQ(answer.Header("content-disposition"), "") << id;
  }
  // Nothing of the request text reached SQL: no statement failed, no row went.
  EXPECT_EQ(One("select count(*) from aall"), rows);
  const std::string report = DetailReport();
  EXPECT_THAT(report, Not(HasSubstr("unexpected error")));
  EXPECT_THAT(report, Not(HasSubstr("delete from")));
}

TEST_F(SiteDownloads, StreamsALargeFileWithBoundedMemory) {
  Set("WebProxyEnabled", "1");
  Set("SecurityAllAreMembers", "1");
  // Warm: the request thread's SMB context and buffers exist.
  ASSERT_TRUE(Download(IdOf("plain.bin")).body == plain_);
  const long peak_before = kivweb_.PeakRssKb();
  const Streamed big =
      StreamGet(kivweb_.port(), std::string(kScript) + "?Command?proxy=" + IdOf("big.iso"));
  const long peak_after = kivweb_.PeakRssKb();
  EXPECT_EQ(big.status, 200) << big.head;
  EXPECT_THAT(big.head, HasSubstr("Content-Disposition: attachment; filename=\"big.iso\""));
  EXPECT_EQ(big.bytes, kBigBytes);
  EXPECT_TRUE(big.all_zero);
#if defined(__SANITIZE_ADDRESS__)
  std::printf("peak RSS %ld -> %ld KiB (not checked under the address sanitizer)\n", peak_before,
              peak_after);
#else
  ASSERT_GT(peak_before, 0);
  // The file is 300 MiB; the server holds a few blocks of it at a time.
  EXPECT_LT(peak_after - peak_before, 32 * 1024)
      << "peak RSS grew from " << peak_before << " to " << peak_after << " KiB";
  std::printf("download of %lld bytes: peak RSS %ld -> %ld KiB\n", big.bytes, peak_before,
              peak_after);
#endif
  EXPECT_EQ(kivweb_.Stop(), 0) << kivweb_.Log().substr(0, 2000);
}

}  // namespace
}  // namespace tellwen::testing
