// The response head of an extension's answer: the status and header lines an
// extension hands to kivweb, checked and turned into the head kivweb sends.
//
// Extensions give their head in one of the shapes the extension interface
// allows: a status text ("200 OK") with a block of header lines, or a whole
// head as a client would see it ("HTTP/1.0 200 OK\r\nContent-Type: ...\r\n
// \r\n"). kivweb frames every response itself (its own Content-Length,
// chunked transfer or connection close), so framing lines of the extension
// are dropped; so is any line that is not "Name: value" or that holds a
// control character (no header injection through a line break).
//
// Thread safety: pure functions over values.
#pragma once

#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace tellwen::isapi {

struct ResponseHead {
  int status = 200;
  std::string reason = "OK";
  std::vector<std::pair<std::string, std::string>> headers;  // in the given order
};

// Parses "200 OK" (three digits from 100 to 999, a blank, a reason without
// control characters; the reason may be missing). Returns false otherwise.
bool ParseStatusText(const std::string& text, int* status, std::string* reason);

// Appends the acceptable "Name: value" lines of block (each ending in "\r\n"
// or "\n"; an empty line ends the block) to head->headers. Returns the number
// of lines dropped as malformed (framing lines are dropped silently).
int AddHeaderLines(const std::string& block, ResponseHead* head);

// For a head that starts with "HTTP/": parses the status line and the header
// lines up to the blank line into *head and returns the number of bytes the
// head took (what follows is body). Returns 0 when raw is not such a head or
// the status line is malformed.
std::size_t ParseRawHead(const std::string& raw, ResponseHead* head);

// Whether head has a header of this name (ASCII case ignored).
bool HasHeader(const ResponseHead& head, const std::string& name);

// when as an HTTP date ("Tue, 08 Dec 2026 07:00:00 GMT").
std::string HttpDate(std::time_t when);

// How the body of a response is delimited.
enum class Framing { kContentLength, kChunked, kClose };

// The head as sent: "HTTP/" version status reason, the extension's lines, a
// Date, "Content-Type: text/html" when the extension gave none, then the
// framing line (Content-Length: length, Transfer-Encoding: chunked, or
// Connection: close), and the blank line.
std::string FormatHead(const std::string& http_version, const ResponseHead& head, Framing framing,
                       unsigned long long length);

}  // namespace tellwen::isapi
