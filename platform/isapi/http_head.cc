#include "platform/isapi/http_head.h"

#include <strings.h>

#include <ctime>

#include "base/text_trim.h"

namespace tellwen::isapi {
namespace {

bool HasControl(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 && c != '\t') return true;
    if (c == 0x7f) return true;
  }
  return false;
}

bool IsTokenChar(unsigned char c) {
  if (c >= '0' && c <= '9') return true;
  if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsFramingHeader(const std::string& name) {
  return strcasecmp(name.c_str(), "Content-Length") == 0 ||
         strcasecmp(name.c_str(), "Transfer-Encoding") == 0 ||
         strcasecmp(name.c_str(), "Connection") == 0 || strcasecmp(name.c_str(), "Keep-Alive") == 0;
}

}  // namespace

bool ParseStatusText(const std::string& text, int* status, std::string* reason) {
  if (text.size() < 3) return false;
  for (int i = 0; i < 3; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  if (text.size() > 3 && text[3] != ' ') return false;
  const int code = std::stoi(text.substr(0, 3));
  if (code < 100) return false;
  const std::string rest = text.size() > 4 ? Trim(text.substr(4)) : "";
  if (HasControl(rest)) return false;
  *status = code;
  *reason = rest;
  return true;
}

int AddHeaderLines(const std::string& block, ResponseHead* head) {
  int dropped = 0;
  std::size_t start = 0;
  while (start < block.size()) {
    std::size_t end = block.find('\n', start);
    if (end == std::string::npos) end = block.size();
    std::string line = block.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    const std::size_t colon = line.find(':');
    bool good = colon != std::string::npos && colon > 0 && !HasControl(line);
    for (std::size_t i = 0; good && i < colon; ++i) {
      good = IsTokenChar(static_cast<unsigned char>(line[i]));
    }
    if (!good) {
      ++dropped;
      continue;
    }
    const std::string name = line.substr(0, colon);
    if (IsFramingHeader(name)) continue;
    head->headers.emplace_back(name, Trim(line.substr(colon + 1)));
  }
  return dropped;
}

std::size_t ParseRawHead(const std::string& raw, ResponseHead* head) {
  if (raw.compare(0, 5, "HTTP/") != 0) return 0;
  std::size_t blank = raw.find("\r\n\r\n");
  std::size_t blank_length = 4;
  const std::size_t bare = raw.find("\n\n");
  if (bare != std::string::npos && (blank == std::string::npos || bare < blank)) {
    blank = bare;
    blank_length = 2;
  }
  const std::size_t head_end = blank == std::string::npos ? raw.size() : blank + blank_length;
  std::size_t line_end = raw.find('\n');
  if (line_end == std::string::npos) line_end = raw.size();
  std::string status_line = raw.substr(0, line_end);
  if (!status_line.empty() && status_line.back() == '\r') status_line.pop_back();
  const std::size_t space = status_line.find(' ');
  if (space == std::string::npos) return 0;
  ResponseHead parsed;
  if (!ParseStatusText(status_line.substr(space + 1), &parsed.status, &parsed.reason)) return 0;
  if (line_end < head_end) {
    AddHeaderLines(raw.substr(line_end + 1, head_end - line_end - 1), &parsed);
  }
  *head = std::move(parsed);
  return head_end;
}

bool HasHeader(const ResponseHead& head, const std::string& name) {
  for (const auto& [key, value] : head.headers) {
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return true;
  }
  return false;
}

std::string HttpDate(std::time_t when) {
  std::tm utc{};
  gmtime_r(&when, &utc);
  char text[64];
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
  return text;
}

std::string FormatHead(const std::string& http_version, const ResponseHead& head, Framing framing,
                       unsigned long long length) {
  std::string out = "HTTP/" + http_version + " " + std::to_string(head.status) + " " +
                    (head.reason.empty() ? std::string("OK") : head.reason) + "\r\n";
  out += "Date: " + HttpDate(std::time(nullptr)) + "\r\n";
  for (const auto& [name, value] : head.headers) out += name + ": " + value + "\r\n";
  if (!HasHeader(head, "Content-Type")) out += "Content-Type: text/html\r\n";
  switch (framing) {
    case Framing::kContentLength:
      out += "Content-Length: " + std::to_string(length) + "\r\n";
      break;
    case Framing::kChunked:
      out += "Transfer-Encoding: chunked\r\n";
      break;
    case Framing::kClose:
      out += "Connection: close\r\n";
      break;
  }
  out += "\r\n";
  return out;
}

}  // namespace tellwen::isapi
