#include "platform/isapi/url_path.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tellwen::isapi {

std::string WithoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

bool ResolvesInside(const std::string& path, const std::string& real_folder) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return errno == ENOENT || errno == ENOTDIR;
  const std::string real = resolved;
  std::free(resolved);
  if (real_folder == "/") return true;
  return real == real_folder || real.compare(0, real_folder.size() + 1, real_folder + "/") == 0;
}

bool MapUrlToPath(const std::string& url, const std::string& root_folder,
                  const std::string& scripts_folder, std::string* path) {
  if (url.empty() || url[0] != '/') return false;
  std::vector<std::string> segments;
  std::size_t start = 1;
  while (start <= url.size()) {
    std::size_t end = url.find('/', start);
    if (end == std::string::npos) end = url.size();
    const std::string segment = url.substr(start, end - start);
    if (segment == "..") return false;
    if (!segment.empty() && segment != ".") segments.push_back(segment);
    start = end + 1;
  }
  const bool trailing_slash = url.back() == '/';
  std::string result;
  std::size_t first = 0;
  if (!segments.empty() && "/" + segments[0] == kScriptsUrl) {
    result = WithoutTrailingSlash(scripts_folder);
    first = 1;
  } else {
    result = WithoutTrailingSlash(root_folder);
  }
  if (result == "/") result.clear();
  for (std::size_t i = first; i < segments.size(); ++i) result += "/" + segments[i];
  if (trailing_slash || result.empty()) result += "/";
  *path = result;
  return true;
}

bool SplitScriptUrl(const std::string& url, std::string* name, std::string* path_info) {
  const std::string prefix = std::string(kScriptsUrl) + "/";
  if (url.compare(0, prefix.size(), prefix) != 0) return false;
  const std::size_t end = url.find('/', prefix.size());
  *name =
      url.substr(prefix.size(), end == std::string::npos ? std::string::npos : end - prefix.size());
  *path_info = end == std::string::npos ? "" : url.substr(end);
  return !name->empty() && *name != "." && *name != "..";
}

}  // namespace tellwen::isapi
