#include "query/file_sender.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "query/escape.h"

namespace tellwen::query {

namespace {

std::string ErrorText(const char* what, const std::string& path, int error) {
  return std::string(what) + "&nbsp;failed&nbsp;on&nbsp;'" + HtmlEscapeSpaces(path) +
         "'.<br>Error was: '" + HtmlEscape(strerror(error)) + "' (" + std::to_string(error) +
         ")<br>";
}

}  // namespace

void WriteAnswerPage(CHttpServerContext* ctx, const std::string& body, const std::string& status,
                     const std::string& extra_headers) {
  ctx->SendResponseHeader(status, "Content-Type: text/html\r\n" + extra_headers);
  ctx->WriteClient("<html><head><title>execution results</title></head><body>" + body +
                   "</body></html>");
}

bool ExtensionFolderOrAnswer(CHttpServerContext* ctx, std::string* folder) {
  std::string url;
  if (ExtensionFolder(ctx, folder, &url)) return true;
  WriteAnswerPage(ctx, "Weird response from GetServerVariable: " + HtmlEscape(url) + "<br>");
  return false;
}

bool ExtensionFolder(CHttpServerContext* ctx, std::string* folder, std::string* url) {
  *url = ctx->GetServerVariable("URL");
  const size_t slash = url->rfind('/');
  if (slash == std::string::npos) return false;
  std::string physical = ctx->MapUrlToPath(url->substr(0, slash + 1));
  if (physical.empty()) physical = ctx->MapUrlToPath(url->substr(0, slash));
  if (physical.empty()) return false;
  if (physical.back() != '/') physical += '/';
  *folder = physical;
  return true;
}

bool SendFile(CHttpServerContext* ctx, const std::string& path, const std::string& content_type) {
  const int fd = path.empty() ? -1 : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int error = fd < 0 ? (path.empty() ? ENOENT : errno) : EISDIR;
    if (fd >= 0) close(fd);
    WriteAnswerPage(ctx, ErrorText("FileOpen", path, error));
    return false;
  }
  const std::string head = "HTTP/1.0 200 OK\r\n" + content_type +
                           "\r\nContent-length: " + std::to_string(st.st_size) + "\r\n\r\n";
  HseTfInfo info{};
  info.hFile = fd;
  info.pszStatusCode = nullptr;
  info.pHead = head.data();
  info.HeadLength = static_cast<uint32_t>(head.size());
  ExtensionControlBlock* ecb = ctx->ecb();
  const bool sent =
      ecb->ServerSupportFunction(ecb->ConnID, kHseReqTransmitFile, &info, nullptr, nullptr);
  const int error = errno;
  close(fd);
  if (!sent) WriteAnswerPage(ctx, ErrorText("TransmitFile", path, error));
  return sent;
}

}  // namespace tellwen::query
