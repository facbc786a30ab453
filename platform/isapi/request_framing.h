// Whether a request's head says unambiguously where its body ends.
//
// A request whose body length could be read two ways (two different
// Content-Length values, a Content-Length beside Transfer-Encoding, a
// Content-Length that is not a plain number, a transfer coding other than
// chunked alone, any Transfer-Encoding in HTTP/1.0) is answered 400 and its
// connection closed: whatever follows on the connection could be read as
// another request by one reader and as body by another. Repeated identical
// Content-Length lines are one length.
//
// Thread safety: a pure function over values.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tellwen::isapi {

// Empty when headers (name, value, in the order received) frame the body of
// a request of that HTTP version ("1.0", "1.1") soundly; otherwise why not.
std::string FramingFault(const std::string& http_version,
                         const std::vector<std::pair<std::string, std::string>>& headers);

}  // namespace tellwen::isapi
