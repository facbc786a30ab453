// Test support: the search site as setup lays it out (scripts folder with
// KIVQuery.so and the ping images, web root with kiv/ and the web files,
// through scripts/lay-out-site) over a catalog loaded by the update job,
// served by kivweb on 127.0.0.1.
//
// Thread safety: one test at a time (it sets environment variables); the
// HTTP helpers may be called from many threads.
#pragma once

#include <string>
#include <vector>

#include "tests/sql/catalog_fixture.h"
#include "tests/support/http_client.h"
#include "tests/support/kivweb_process.h"

namespace tellwen::testing {

class SearchSiteTest : public CatalogTest {
 protected:
  // A failed test shows the end of kivweb's log (its stderr and access
  // lines): a server that hung or died says so there.
  void TearDown() override;

  // Loads entries with the update job, lays out the site, opens the service
  // and starts kivweb, with kivweb_env ("NAME=value") added to its
  // environment.
  void ServeCatalog(const std::vector<Entry>& entries,
                    const std::vector<std::string>& kivweb_env = {});

  // The query of the home page's form for a search of text, one page of
  // page_size results from the result number from.
  static std::string SearchQuery(const std::string& text, int from = 0, int page_size = 200);
  HttpResponse Page(const std::string& query) {
    return Get(kivweb_.port(), "/scripts/KIVQuery.so?" + query);
  }
  // Writes the index file and runs /updatedb; the site's folders stay
  // readable to kivweb's account.
  void Reload(const std::vector<Entry>& entries);

  std::string site_ = dir_.path() + "/site";
  KivwebProcess kivweb_;
};

}  // namespace tellwen::testing
