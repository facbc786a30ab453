// Files of the web root asked for in part: requests that carry a Range
// header. kivweb answers them itself (civetweb leaves the rest of the static
// files): one range as 206 with its Content-Range, a range past the end as
// 416 with "bytes */SIZE", anything else (several ranges, a malformed one, an
// If-Range naming another version, a HEAD request) with the whole file as
// 200. Every such answer says "Accept-Ranges: bytes" and carries the file's
// Last-Modified, which is the validator If-Range must repeat. byte_range.h
// says which ranges are served.
//
// Thread safety: called on civetweb's request threads; no shared state.
#pragma once

#include <civetweb.h>

#include <string>

namespace tellwen::isapi {

// The file types civetweb does not know, in its "extra_mime_types" form.
inline constexpr const char* kExtraMimeTypes = ".htc=text/x-component,.ico=image/x-icon";

// The Content-Type of a file by its name.
std::string ContentTypeOf(const std::string& path);

// Answers conn's request when it is a GET or HEAD with a Range header for a
// readable regular file of root (a folder's default.htm when the URL ends in
// "/"); returns the status sent, or 0 when it is not such a request and
// civetweb should serve it. URLs under the scripts URL are never answered.
int ServeStaticRange(mg_connection* conn, const std::string& root, const std::string& scripts);

}  // namespace tellwen::isapi
