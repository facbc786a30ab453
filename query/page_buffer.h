// The page buffers: a process-wide map from a request's connection handle to
// the text of the page being built for it. A request creates its entry when
// its command starts, appends to it while the page is built and takes the
// whole text out when the page ends.
//
// Thread safety: Create and Take lock the map; the text that Create returns
// is the request's own and is appended to by that request's thread only,
// without a lock (the map's nodes do not move when other entries come and
// go).
#pragma once

#include <mutex>
#include <string>
#include <unordered_map>

namespace tellwen::query {

class PageBuffers {
 public:
  // Creates (or empties) the entry of conn; the text stays valid until Take.
  std::string* Create(const void* conn);
  // The text of conn's entry, erased from the map; "" when there is none.
  std::string Take(const void* conn);
  // Number of entries (pages being built).
  size_t Size();

 private:
  std::mutex mutex_;
  std::unordered_map<const void*, std::string> entries_;
};

}  // namespace tellwen::query
