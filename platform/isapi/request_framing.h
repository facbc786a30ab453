// How kivweb's accepting front reads a request's head, and whether the head
// says unambiguously where its body ends. The front hands on only heads that
// pass both, rewritten from the values read here, so that civetweb never
// reads a request another way than the front did.
//
// ParseRequestHead refuses (400) what a reader could take two ways:
//  - a line ended by a bare LF, or holding a bare CR or a NUL;
//  - a request line other than METHOD SP TARGET SP HTTP/1.0 or HTTP/1.1;
//  - a field line whose name is not a token (whitespace before the colon
//    included) or that has no colon;
//  - an obsolete folded line (one starting with a space or a tab);
//  - an HTTP/1.1 request without a Host line, any request with two, or a
//    Host value that is not an authority;
//  - a target whose path holds "%00" (civetweb would end the path there).
// More than kMaxFieldLines field lines are refused with 431: civetweb keeps
// no more (its own lines added by the front included), and a line it drops
// could be the one that frames the body.
// Targets: origin-form ("/path?query") is served as given; absolute-form
// ("http://host/path?query") as its path and query, with the target's host
// in place of the Host line; "*" is 501 for OPTIONS and 400 otherwise, like
// every other form (a CONNECT's authority-form is 501). Empty lines before
// the request line are the caller's to skip.
//
// FramingFault refuses a request whose body length could be read two ways
// (two different Content-Length values, a Content-Length beside
// Transfer-Encoding, a Content-Length that is not a plain number, a transfer
// coding other than chunked alone, any Transfer-Encoding in HTTP/1.0): it is
// answered 400 and its connection closed, for whatever follows on the
// connection could be read as another request by one reader and as body by
// another. Repeated identical Content-Length lines are one length.
//
// Thread safety: pure functions over values.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tellwen::isapi {

inline constexpr std::size_t kMaxFieldLines = 60;

struct RequestHead {
  std::string method;
  std::string target;   // origin-form: starts with "/"
  std::string version;  // "1.0" or "1.1"
  // The field lines in the order received, values without surrounding
  // blanks; for an absolute-form target the Host line holds its host.
  std::vector<std::pair<std::string, std::string>> headers;
};

// Reads head (the request's bytes up to and including its empty line) into
// *out. Returns 0 when the head is sound, else the status to answer (400,
// 431 or 501) with *why saying what is wrong.
int ParseRequestHead(std::string_view head, RequestHead* out, std::string* why);

// Empty when headers (name, value, in the order received) frame the body of
// a request of that HTTP version ("1.0", "1.1") soundly; otherwise why not.
std::string FramingFault(const std::string& http_version,
                         const std::vector<std::pair<std::string, std::string>>& headers);

}  // namespace tellwen::isapi
