#include "platform/isapi/request_framing.h"

#include <strings.h>

#include <cstring>

#include "base/int_text.h"
#include "base/text_trim.h"

namespace tellwen::isapi {
namespace {

// 1 to 18 digits: a length that fits its type.
bool IsLength(const std::string& text) {
  std::uint64_t length = 0;
  return ParseDigits(text, 18, &length);
}

// A character of a token (a method, a field name).
bool IsTokenChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

bool IsToken(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!IsTokenChar(c)) return false;
  }
  return true;
}

// A host with an optional port, as a Host line or an absolute target holds
// it (no user information, no path).
bool IsAuthority(std::string_view text) {
  for (char c : text) {
    const bool allowed = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                         (c >= 'A' && c <= 'Z') ||
                         (c != '\0' && std::strchr("-._~%!$&'()*+,;=:[]", c) != nullptr);
    if (!allowed) return false;
  }
  return true;
}

int Refuse(int status, std::string* why, std::string text) {
  *why = std::move(text);
  return status;
}

}  // namespace

int ParseRequestHead(std::string_view head, RequestHead* out, std::string* why) {
  *out = RequestHead();
  // The lines, each ended by CRLF; the last one is the empty line.
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < head.size()) {
    const std::size_t end = head.find('\n', start);
    if (end == std::string_view::npos || end == start || head[end - 1] != '\r') {
      return Refuse(400, why, "a line does not end in CRLF");
    }
    const std::string_view line = head.substr(start, end - 1 - start);
    if (line.find('\r') != std::string_view::npos || line.find('\0') != std::string_view::npos) {
      return Refuse(400, why, "a line holds a bare CR or a NUL");
    }
    start = end + 1;
    if (line.empty()) break;
    lines.push_back(line);
  }
  if (lines.empty()) return Refuse(400, why, "no request line");

  // METHOD SP TARGET SP HTTP-VERSION
  const std::string_view request_line = lines[0];
  const std::size_t first_space = request_line.find(' ');
  const std::size_t second_space =
      first_space == std::string_view::npos ? first_space : request_line.find(' ', first_space + 1);
  if (second_space == std::string_view::npos ||
      request_line.find(' ', second_space + 1) != std::string_view::npos ||
      request_line.find('\t') != std::string_view::npos) {
    return Refuse(400, why, "the request line is not METHOD TARGET VERSION");
  }
  const std::string_view method = request_line.substr(0, first_space);
  std::string_view target = request_line.substr(first_space + 1, second_space - first_space - 1);
  const std::string_view version = request_line.substr(second_space + 1);
  if (!IsToken(method) || target.empty()) {
    return Refuse(400, why, "the request line is not METHOD TARGET VERSION");
  }
  if (version != "HTTP/1.1" && version != "HTTP/1.0") {
    return Refuse(400, why, "the version is not HTTP/1.0 or HTTP/1.1");
  }
  out->method = std::string(method);
  out->version = std::string(version.substr(5));

  std::string target_host;
  bool absolute = false;
  if (target[0] != '/') {
    const std::size_t scheme_end = target.find("://");
    const std::string_view scheme = target.substr(0, scheme_end);
    if (target == "*") {
      return method == "OPTIONS" ? Refuse(501, why, "OPTIONS * is not served")
                                 : Refuse(400, why, "the target * is for OPTIONS only");
    }
    const bool http = scheme_end != std::string_view::npos &&
                      (scheme.size() == 4 || scheme.size() == 5) &&
                      strncasecmp(scheme.data(), "https", scheme.size()) == 0;
    if (!http) {
      return method == "CONNECT" ? Refuse(501, why, "CONNECT is not served")
                                 : Refuse(400, why, "the target is neither a path nor an http URL");
    }
    const std::string_view rest = target.substr(scheme_end + 3);
    const std::size_t path = rest.find_first_of("/?");
    target_host = std::string(rest.substr(0, path));
    if (target_host.empty() || !IsAuthority(target_host)) {
      return Refuse(400, why, "the target's host is not a host name or address");
    }
    target = path == std::string_view::npos ? std::string_view() : rest.substr(path);
    absolute = true;
  }
  out->target =
      target.empty() || target[0] != '/' ? "/" + std::string(target) : std::string(target);
  // civetweb ends a decoded path at a NUL: "/a.htm%00.gif" would be served
  // as "/a.htm".
  const std::string_view path_part = std::string_view(out->target).substr(0, out->target.find('?'));
  for (std::size_t at = path_part.find('%'); at != std::string_view::npos;
       at = path_part.find('%', at + 1)) {
    if (path_part.substr(at + 1, 2) == "00") {
      return Refuse(400, why, "the target's path holds an encoded NUL");
    }
  }

  int hosts = 0;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (line[0] == ' ' || line[0] == '\t') {
      return Refuse(400, why, "a field line is folded onto the one before");
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return Refuse(400, why, "a field line has no colon");
    const std::string_view name = line.substr(0, colon);
    if (!IsToken(name)) {
      return Refuse(400, why, "a field name holds whitespace or another character outside a token");
    }
    std::string value = Trim(line.substr(colon + 1));
    if (strncasecmp(name.data(), "Host", name.size()) == 0 && name.size() == 4) {
      if (++hosts > 1) return Refuse(400, why, "two Host lines");
      if (!IsAuthority(value)) return Refuse(400, why, "the Host value is not a host");
      if (absolute) value = target_host;
    }
    out->headers.emplace_back(std::string(name), std::move(value));
    if (out->headers.size() > kMaxFieldLines) {
      return Refuse(431, why, "more than " + std::to_string(kMaxFieldLines) + " field lines");
    }
  }
  if (hosts == 0 && out->version == "1.1") return Refuse(400, why, "no Host line");
  if (hosts == 0 && absolute) out->headers.emplace_back("Host", target_host);
  return 0;
}

std::string FramingFault(const std::string& http_version,
                         const std::vector<std::pair<std::string, std::string>>& headers) {
  std::string length;
  bool has_length = false;
  std::vector<std::string> codings;
  for (const auto& [name, raw_value] : headers) {
    const std::string value = Trim(raw_value);
    if (strcasecmp(name.c_str(), "Content-Length") == 0) {
      if (!IsLength(value)) return "Content-Length '" + value + "' is not a number";
      const std::string number =
          value.substr(std::min(value.find_first_not_of('0'), value.size() - 1));
      if (has_length && number != length) return "two different Content-Length values";
      length = number;
      has_length = true;
    } else if (strcasecmp(name.c_str(), "Transfer-Encoding") == 0) {
      std::size_t start = 0;
      for (;;) {
        const std::size_t comma = value.find(',', start);
        codings.push_back(Trim(value.substr(start, comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    }
  }
  if (codings.empty()) return "";
  if (http_version != "1.1") return "Transfer-Encoding in an HTTP/" + http_version + " request";
  if (has_length) return "both Content-Length and Transfer-Encoding";
  if (codings.size() != 1 || strcasecmp(codings[0].c_str(), "chunked") != 0) {
    return "a transfer coding other than chunked";
  }
  return "";
}

}  // namespace tellwen::isapi
