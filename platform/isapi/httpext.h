// The web server extension interface: what kivweb offers an extension library
// and what an extension library exports. A C ABI, so that kivweb and the
// extensions are built and loaded independently.
//
// An extension library exports three functions (extern "C", by these names):
//   GetExtensionVersion  called once after the library is loaded; fills in the
//                        version block; returning false makes kivweb unload it.
//   HttpExtensionProc    called for every request to the library's URL, on
//                        any of kivweb's request threads, several at once.
//   TerminateExtension   called once before the library is unloaded, after
//                        every request has returned.
//
// Per request, kivweb hands the extension an ExtensionControlBlock. The block
// and everything it points to stay valid until HttpExtensionProc returns, and
// only for the thread that received it. Its callbacks are safe to call from
// that thread only; calls for different requests may run concurrently.
//
// A request's response is whatever the extension sends: a header through
// kReqSendResponseHeader (once, before any WriteClient), then body bytes
// through WriteClient, or a whole file through kReqTransmitFile. A request
// that sends nothing gets an empty "200 OK" response (500 when
// HttpExtensionProc returns kHseStatusError). WriteClient before any header
// sends "200 OK" first. kivweb frames every response itself: Content-Length,
// Transfer-Encoding and Connection lines of the extension are replaced by its
// own, a response without a Content-Type line gets "Content-Type: text/html",
// and header lines that are malformed or hold a control character are
// dropped.
#pragma once

#include <cstdint>

extern "C" {

// Result of HttpExtensionProc.
inline constexpr uint32_t kHseStatusSuccess = 1;
inline constexpr uint32_t kHseStatusError = 4;

inline constexpr uint32_t kHseMaxExtDllNameLen = 256;
inline constexpr uint32_t kHseVersion = 0x00050000;  // major 5, minor 0

// Filled in by GetExtensionVersion.
struct HseVersionInfo {
  uint32_t dwExtensionVersion;
  char lpszExtensionDesc[kHseMaxExtDllNameLen];  // NUL-terminated
};

// Services of ServerSupportFunction (dwHSERequest).
//
// kReqSendResponseHeader: lpvBuffer is the status line text without the
//   protocol ("200 OK"), or null for "200 OK"; lpdwDataType is a pointer to a
//   NUL-terminated block of further header lines, each ending in "\r\n" (may
//   be null or empty). kivweb adds the protocol, the date and the connection
//   handling; it ends the header itself. lpdwSize is unused.
// kReqMapUrlToPath: lpvBuffer holds a NUL-terminated URL path ("/scripts/");
//   on success it is replaced by the physical path (with "/" kept at the end
//   when the URL had one). *lpdwSize is the buffer's size in bytes on entry
//   and the length of the result including the NUL on return.
// kReqTransmitFile: lpvBuffer points to an HseTfInfo. The file is sent from
//   its current offset to its end (or BytesToWrite bytes) after the optional
//   head; kivweb does not close the descriptor. pHead may also hold a whole
//   head as a client sees it ("HTTP/1.0 200 OK\r\nContent-Type: ...\r\n
//   \r\n"): its status and lines are then used and its own length line is
//   replaced. Sent before any other output, the file is the whole response
//   (with its length); after a header or body bytes, it joins the body. The
//   file is read in bounded blocks.
inline constexpr uint32_t kHseReqSendResponseHeader = 3;
inline constexpr uint32_t kHseReqMapUrlToPath = 1001;
inline constexpr uint32_t kHseReqTransmitFile = 1006;

// kHseReqTransmitFile's block.
struct HseTfInfo {
  int hFile;                  // an open, readable file descriptor
  const char* pszStatusCode;  // "200 OK" when a header is to be sent, else null
  uint64_t BytesToWrite;      // 0 means to the end of the file
  uint64_t Offset;            // where to start in the file
  const void* pHead;          // bytes sent before the file (may be null)
  uint32_t HeadLength;
  uint32_t dwFlags;  // kHseIoSendHeaders: pHead holds header lines
};
inline constexpr uint32_t kHseIoSendHeaders = 0x8;

struct ExtensionControlBlock;
typedef void* HCONN;

// GetServerVariable: copies the variable's value with a terminating NUL into
//   lpvBuffer; *lpdwSize is the buffer's size on entry, the length including
//   the NUL on return. Returns false when the variable is unknown, or when
//   the buffer is too small (*lpdwSize then holds the size needed); errno is
//   then ENOENT or ENOBUFS. Variables: REMOTE_ADDR, REMOTE_HOST (the
//   address; no name look-up), REMOTE_PORT, REMOTE_USER, LOGON_USER,
//   AUTH_USER, AUTH_TYPE (empty), REQUEST_METHOD, QUERY_STRING, SCRIPT_NAME
//   and URL ("/scripts/NAME.so"), PATH_INFO, PATH_TRANSLATED, CONTENT_LENGTH,
//   CONTENT_TYPE, SERVER_NAME (from the Host header), SERVER_PORT,
//   SERVER_PORT_SECURE, SERVER_PROTOCOL, SERVER_SOFTWARE, GATEWAY_INTERFACE,
//   HTTPS, ALL_HTTP, ALL_RAW, and HTTP_<NAME> for any request header (name
//   upper-cased, "-" as "_"; repeated headers joined by ", ", cookies by
//   "; "); a header the request lacks is unknown.
// WriteClient: sends *lpdwBytes bytes; returns false when the client has gone.
//   dwReserved is unused.
// ReadClient: reads up to *lpdwSize further bytes of the posted data (beyond
//   the cbAvailable bytes of lpbData); *lpdwSize is set to the bytes read, 0
//   at the end.
// ServerSupportFunction: the services above; false with an unknown service.
struct ExtensionControlBlock {
  uint32_t cbSize;              // sizeof(ExtensionControlBlock)
  uint32_t dwVersion;           // kHseVersion
  HCONN ConnID;                 // unique among the requests being served
  uint32_t dwHttpStatusCode;    // the status sent, for kivweb's access log
  char lpszLogData[80];         // extra text for the access log
  const char* lpszMethod;       // "GET", "POST", ...
  const char* lpszQueryString;  // text after "?", not decoded ("" when none)
  const char* lpszPathInfo;     // the URL path after the library's name
  const char* lpszPathTranslated;
  uint32_t cbTotalBytes;  // length of the posted data (CONTENT_LENGTH)
  uint32_t cbAvailable;   // bytes of it already in lpbData
  const unsigned char* lpbData;
  const char* lpszContentType;

  bool (*GetServerVariable)(HCONN hConn, const char* lpszVariableName, void* lpvBuffer,
                            uint32_t* lpdwSize);
  bool (*WriteClient)(HCONN ConnID, const void* Buffer, uint32_t* lpdwBytes, uint32_t dwReserved);
  bool (*ReadClient)(HCONN ConnID, void* lpvBuffer, uint32_t* lpdwSize);
  bool (*ServerSupportFunction)(HCONN hConn, uint32_t dwHSERequest, void* lpvBuffer,
                                uint32_t* lpdwSize, uint32_t* lpdwDataType);
};

// The exports, as kivweb looks them up with dlsym.
typedef bool (*GetExtensionVersionFn)(HseVersionInfo* pVer);
typedef uint32_t (*HttpExtensionProcFn)(ExtensionControlBlock* pECB);
typedef bool (*TerminateExtensionFn)(uint32_t dwFlags);

// dwFlags of TerminateExtension: the server is stopping and unloads anyway.
inline constexpr uint32_t kHseTermMustUnload = 1;

}  // extern "C"
