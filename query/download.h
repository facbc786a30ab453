// Downloads of catalogued files through the web server.
//
// Permission: nobody unless WebProxyEnabled is "1"; then the members only:
// every caller when SecurityAllAreMembers is "1", else the callers whose
// address is a field of WebMembersList (its placeholder, the first field,
// skipped; exact text match). The same test gates the download column of
// the results page and the download itself.
//
// A permitted download looks the file up by its catalog id (only a decimal
// number reaches SQL), reads it from its share over SMB as guest (or, where
// DownloadWithScanAccount allows, with the scan account) and streams
// it to the browser in blocks of bounded size, so a file of any size never
// sits in memory. The attachment's name is made safe for the header.
//
// Past kMaxDownloads running, or kMaxDownloadsPerComputer from the file's
// computer, a download is answered 503 at once.
//
// Thread safety: any thread; each download uses the calling thread's SMB
// context.
#pragma once

#include <string>

#include "common/sql_session.h"
#include "platform/net/network.h"
#include "query/http_server.h"
#include "query/reports.h"
#include "query/site_settings.h"

namespace tellwen::query {

bool DownloadPermitted(const std::string& remote_addr, const DownloadSettings& settings);

// True and *id set when text is 1 to 18 decimal digits (a catalog id).
bool ParseCatalogId(const std::string& text, long long* id);

// The Content-Disposition header value for a file name: "attachment;
// filename=\"...\"" with every byte outside printable ASCII and every quote,
// backslash, "/" and ";" written as "_", followed by "; filename*=UTF-8''"
// and the name percent-encoded, so that browsers show the real name.
std::string ContentDisposition(const std::string& file_name);

// The share path ("\\\\PC1\\share\\dir\\file") of spGetFullPathFileFromID's
// full path ("//PC1/share/d1/d2/file", empty pieces dropped); "" when it
// does not name a file below a share ("." or ".." pieces, a "*" name).
std::string ShareFilePath(const std::string& full_path);

// At most this many downloads run at once in the process. A download holds
// one of the web server's request threads (64 by default) for as long as the
// file takes to come from its computer and go to the browser, and a computer
// that accepts a connection and never answers holds it up to the SMB
// timeout: the cap keeps most request threads free for the site's pages and
// files whatever the downloads do.
inline constexpr size_t kMaxDownloads = 16;

// At most this many of those downloads read from one computer: a computer
// that accepts connections and never answers holds its downloads' places up
// to the SMB timeout, and must not take every place from the others.
inline constexpr size_t kMaxDownloadsPerComputer = 4;

// The page bodies of a download past either cap (sent as "503 Service
// Unavailable" with "Retry-After: 60").
inline constexpr const char* kDownloadsBusyText =
    "Error: Too many downloads at the moment. Please try again in a minute.";
inline constexpr const char* kComputerBusyText =
    "Error: Too many downloads from this computer at the moment. Please try again in a minute.";

// Size of the blocks a download is read and sent in.
inline constexpr size_t kDownloadBlock = 64 * 1024;

// The download of catalog id text `proxy` (the caller has the permission);
// the id is looked up through sql. The file is read as the guest; with
// settings.with_scan_account, a file the guest may not read is read with the
// scan account, offered for that download only (a credentials file that
// cannot be read is said in the detailed report, never its content).
void DownloadRequest(CHttpServerContext* ctx, const std::string& proxy,
                     const DownloadSettings& settings, net::Network& network, SqlSession& sql,
                     RequestReports& reports);

}  // namespace tellwen::query
