#include "platform/isapi/static_range.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <vector>

#include "platform/isapi/byte_range.h"
#include "platform/isapi/http_head.h"
#include "platform/isapi/url_path.h"

namespace tellwen::isapi {
namespace {

// The bytes of a file sent per read and write.
constexpr std::size_t kFileBlock = 64 << 10;

// Whether a segment of url starts with "." (such files are civetweb's to
// refuse or serve).
bool HasDotSegment(const std::string& url) { return url.find("/.") != std::string::npos; }

struct FileCloser {
  int fd;
  ~FileCloser() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

std::string ContentTypeOf(const std::string& path) {
  const std::string extras = kExtraMimeTypes;
  std::size_t start = 0;
  while (start < extras.size()) {
    std::size_t end = extras.find(',', start);
    if (end == std::string::npos) end = extras.size();
    const std::string entry = extras.substr(start, end - start);
    const std::size_t equals = entry.find('=');
    const std::string suffix = entry.substr(0, equals);
    if (path.size() >= suffix.size() &&
        strcasecmp(path.c_str() + path.size() - suffix.size(), suffix.c_str()) == 0) {
      return entry.substr(equals + 1);
    }
    start = end + 1;
  }
  return mg_get_builtin_mime_type(path.c_str());
}

int ServeStaticRange(mg_connection* conn, const std::string& root, const std::string& scripts) {
  const mg_request_info* info = mg_get_request_info(conn);
  const bool head_only = std::strcmp(info->request_method, "HEAD") == 0;
  if (!head_only && std::strcmp(info->request_method, "GET") != 0) return 0;
  const char* range_header = mg_get_header(conn, "Range");
  if (range_header == nullptr || info->local_uri == nullptr) return 0;
  const std::string url = info->local_uri;
  const std::string scripts_url = kScriptsUrl;
  if (url == scripts_url || url.compare(0, scripts_url.size() + 1, scripts_url + "/") == 0) {
    return 0;
  }
  std::string path;
  if (HasDotSegment(url) || !MapUrlToPath(url, root, scripts, &path)) return 0;
  struct stat file {};
  if (stat(path.c_str(), &file) != 0) return 0;
  if (S_ISDIR(file.st_mode)) {
    if (url.back() != '/') return 0;  // civetweb leads it to the URL with "/"
    path += "default.htm";
    if (stat(path.c_str(), &file) != 0) return 0;
  }
  if (!S_ISREG(file.st_mode)) return 0;
  FileCloser closer{open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (closer.fd < 0) return 0;  // civetweb answers it as it answers every unreadable file

  const std::uint64_t size = static_cast<std::uint64_t>(file.st_size);
  const std::string modified = HttpDate(file.st_mtime);
  ByteRange range = ParseByteRange(range_header, size);
  const char* if_range = mg_get_header(conn, "If-Range");
  if (head_only || (if_range != nullptr && modified != if_range)) range = ByteRange();
  // A body sent with the request would be read as the next request.
  if (info->content_length > 0) mg_disable_connection_keep_alive(conn);

  std::string head;
  int status = 200;
  std::uint64_t first = 0, length = size;
  static const std::string kPastTheEnd = "The requested range lies past the end of the file.\n";
  switch (range.kind) {
    case ByteRange::Kind::kWhole:
      head = "HTTP/1.1 200 OK\r\n";
      break;
    case ByteRange::Kind::kPart:
      status = 206;
      first = range.first;
      length = range.length;
      head = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(first) + "-" +
             std::to_string(first + length - 1) + "/" + std::to_string(size) + "\r\n";
      break;
    case ByteRange::Kind::kUnsatisfiable:
      status = 416;
      head =
          "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" + std::to_string(size) +
          "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(kPastTheEnd.size()) +
          "\r\nDate: " + HttpDate(std::time(nullptr)) + "\r\nAccept-Ranges: bytes\r\n\r\n" +
          kPastTheEnd;
      mg_write(conn, head.data(), head.size());
      return status;
  }
  head += "Date: " + HttpDate(std::time(nullptr)) + "\r\nLast-Modified: " + modified +
          "\r\nAccept-Ranges: bytes\r\nContent-Type: " + ContentTypeOf(path) +
          "\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
  if (mg_write(conn, head.data(), head.size()) != static_cast<int>(head.size()) || head_only) {
    return status;
  }
  std::vector<char> block(kFileBlock);
  while (length > 0) {
    const std::size_t want = length < kFileBlock ? static_cast<std::size_t>(length) : kFileBlock;
    const ssize_t got = pread(closer.fd, block.data(), want, static_cast<off_t>(first));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || mg_write(conn, block.data(), static_cast<std::size_t>(got)) != got) {
      // The promised length cannot be kept: the connection ends short.
      mg_disable_connection_keep_alive(conn);
      break;
    }
    first += static_cast<std::uint64_t>(got);
    length -= static_cast<std::uint64_t>(got);
  }
  return status;
}

}  // namespace tellwen::isapi
