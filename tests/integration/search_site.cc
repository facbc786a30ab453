#include "tests/integration/search_site.h"

#include <filesystem>
#include <iostream>

#include "tests/integration/smbd_server.h"

#ifndef TELLWEN_SOURCE_DIR
#error "TELLWEN_SOURCE_DIR and TELLWEN_BINARY_DIR must name the trees"
#endif

namespace tellwen::testing {

std::string SearchSiteTest::SearchQuery(const std::string& text, int from, int page_size) {
  return "Command?search=" + text + "&searchkind=any+word&recordfrom=" + std::to_string(from) +
         "&recordto=" + std::to_string(from + page_size - 1) +
         "&dowait=1&dirs=on&files=on&pagesize=" + std::to_string(page_size);
}

void SearchSiteTest::Reload(const std::vector<Entry>& entries) {
  WriteIndex(entries);
  MustUpdate();
  MakeReadable(dir_.path(), /*writable=*/true);
}

void SearchSiteTest::TearDown() {
  if (!HasFailure() || kivweb_.pid() <= 0) return;
  const std::string log = kivweb_.Log();
  constexpr size_t kShown = 6000;
  std::cerr << "end of kivweb's log:\n"
            << (log.size() > kShown ? log.substr(log.size() - kShown) : log) << "\n";
}

void SearchSiteTest::ServeCatalog(const std::vector<Entry>& entries,
                                  const std::vector<std::string>& kivweb_env) {
  Reload(entries);
  Set("WebStatus", "yes");
  std::string output;
  const int status = RunCommand(std::string(TELLWEN_SOURCE_DIR) + "/scripts/lay-out-site " +
                                    SmbdServer::Quote(TELLWEN_BINARY_DIR) + " " +
                                    SmbdServer::Quote(site_) + " 2>&1",
                                &output);
  ASSERT_EQ(status, 0) << output;
  // Without built web files the layout has no ping images: draw-free stand-ins.
  for (const char* image : {"pingyes.gif", "pingno.gif"}) {
    const std::string path = site_ + "/scripts/" + image;
    if (!std::filesystem::exists(path)) {
      std::ofstream(path, std::ios::binary) << "GIF89a " << image;
    }
  }
  MakeReadable(dir_.path(), /*writable=*/true);
  const std::string error =
      kivweb_.Start({"--config", site_ + "/kivweb.conf", "--listen", "127.0.0.1:0"},
                    dir_.path() + "/kivweb.log", kivweb_env);
  ASSERT_EQ(error, "");
}

}  // namespace tellwen::testing
