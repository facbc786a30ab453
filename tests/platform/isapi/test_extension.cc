// An extension library for kivweb's tests. The query string's first word
// picks what it does; the rest ("a=b&c=d") are its arguments:
//   vars?names=A,B   "NAME=value" per variable, "NAME unknown" when missing
//   small?name=A     GetServerVariable into a 4-byte buffer: the size asked
//   post             "total=N got=M" then the posted data it read
//   map?url=U        the physical path of U, or "map failed"
//   ping             the scripts-folder image pingyes.gif, as the ping sends
//                    it: a whole "HTTP/1.0 200 OK" head before the file
//   file?path=P      the file P through transmit-file with header lines
//   header           a "302 Found" head with a Location, a bare CR hidden
//                    in a header value, a malformed line, and a body
//   badstatus        a status text with a line break in it
//   error            nothing sent, the error status returned
//   slow?ms=N        waits, then "conn=ID inflight=N" (and "DUPLICATE"
//                    when another request in flight has the same ConnID)
//   pieces?n=N       N small writes, then "</html>"
// GetExtensionVersion and TerminateExtension append "load" and "terminate
// served=N inflight=N" to the file named by $KIVWEB_TEST_RECORD.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "platform/isapi/httpext.h"

namespace {

std::atomic<int> served{0};
std::atomic<int> in_flight{0};
std::mutex conn_mutex;
std::set<HCONN> conns;

void Record(const std::string& line) {
  const char* path = std::getenv("KIVWEB_TEST_RECORD");
  if (path == nullptr) return;
  if (FILE* out = std::fopen(path, "a")) {
    std::fprintf(out, "%s\n", line.c_str());
    std::fclose(out);
  }
}

std::string Arg(const std::string& query, const std::string& name) {
  const std::string key = name + "=";
  std::size_t at = 0;
  while ((at = query.find(key, at)) != std::string::npos) {
    if (at == 0 || query[at - 1] == '?' || query[at - 1] == '&') {
      const std::size_t end = query.find('&', at);
      return query.substr(at + key.size(), end == std::string::npos ? end : end - at - key.size());
    }
    at += key.size();
  }
  return "";
}

bool Write(ExtensionControlBlock* ecb, const std::string& text) {
  uint32_t size = static_cast<uint32_t>(text.size());
  return ecb->WriteClient(ecb->ConnID, text.data(), &size, 0);
}

bool Header(ExtensionControlBlock* ecb, const char* status, const char* lines) {
  return ecb->ServerSupportFunction(ecb->ConnID, kHseReqSendResponseHeader,
                                    const_cast<char*>(status), nullptr,
                                    reinterpret_cast<uint32_t*>(const_cast<char*>(lines)));
}

std::string Variable(ExtensionControlBlock* ecb, const std::string& name, bool* found) {
  char buffer[8192];
  uint32_t size = sizeof buffer;
  *found = ecb->GetServerVariable(ecb->ConnID, name.c_str(), buffer, &size);
  return *found ? std::string(buffer) : "";
}

uint32_t Serve(ExtensionControlBlock* ecb, const std::string& command, const std::string& query) {
  if (command == "vars") {
    Header(ecb, "200 OK", "Content-Type: text/plain\r\n");
    std::string names = Arg(query, "names") + ",";
    std::string out;
    for (std::size_t start = 0, end; (end = names.find(',', start)) != std::string::npos;
         start = end + 1) {
      const std::string name = names.substr(start, end - start);
      if (name.empty()) continue;
      bool found = false;
      const std::string value = Variable(ecb, name, &found);
      out += found ? name + "=" + value + "\n" : name + " unknown\n";
    }
    Write(ecb, out);
  } else if (command == "small") {
    char buffer[4];
    uint32_t size = sizeof buffer;
    const bool ok = ecb->GetServerVariable(ecb->ConnID, Arg(query, "name").c_str(), buffer, &size);
    Write(ecb, std::string(ok ? "ok" : "refused") + " size=" + std::to_string(size));
  } else if (command == "post") {
    std::string data(reinterpret_cast<const char*>(ecb->lpbData), ecb->cbAvailable);
    char block[10000];
    for (;;) {
      uint32_t size = sizeof block;
      if (!ecb->ReadClient(ecb->ConnID, block, &size)) {
        Write(ecb, "ReadClient failed");
        return kHseStatusError;
      }
      if (size == 0) break;
      data.append(block, size);
    }
    Write(ecb, "total=" + std::to_string(ecb->cbTotalBytes) +
                   " available=" + std::to_string(ecb->cbAvailable) +
                   " got=" + std::to_string(data.size()) + "\n" + data);
  } else if (command == "map") {
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, "%s", Arg(query, "url").c_str());
    uint32_t size = sizeof buffer;
    if (ecb->ServerSupportFunction(ecb->ConnID, kHseReqMapUrlToPath, buffer, &size, nullptr)) {
      Write(ecb, std::string(buffer) + " size=" + std::to_string(size));
    } else {
      Write(ecb, "map failed");
    }
  } else if (command == "ping" || command == "file") {
    std::string path;
    if (command == "ping") {
      bool found = false;
      std::string url = Variable(ecb, "URL", &found);
      url = url.substr(0, url.rfind('/'));
      char buffer[1024];
      std::snprintf(buffer, sizeof buffer, "%s", url.c_str());
      uint32_t size = sizeof buffer;
      ecb->ServerSupportFunction(ecb->ConnID, kHseReqMapUrlToPath, buffer, &size, nullptr);
      path = std::string(buffer) + "/pingyes.gif";
    } else {
      path = Arg(query, "path");
    }
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) {
      Write(ecb, "FileOpen failed on '" + path + "'");
      return kHseStatusSuccess;
    }
    HseTfInfo info{};
    info.hFile = fd;
    std::string head;
    if (command == "ping") {
      const off_t size = lseek(fd, 0, SEEK_END);
      head =
          "HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-length: " + std::to_string(size) +
          "\r\n\r\n";
    } else {
      info.pszStatusCode = "200 OK";
      info.dwFlags = kHseIoSendHeaders;
      head = "Content-Type: application/octet-stream\r\n";
    }
    info.pHead = head.data();
    info.HeadLength = static_cast<uint32_t>(head.size());
    const bool sent =
        ecb->ServerSupportFunction(ecb->ConnID, kHseReqTransmitFile, &info, nullptr, nullptr);
    close(fd);
    if (!sent) Write(ecb, "TransmitFile failed");
  } else if (command == "header") {
    Header(ecb, "302 Found",
           "Location: /kiv/default.htm\r\nX-Bare: a\rSet-Cookie: evil=1\r\n"
           "X-Kept: yes\r\nbroken line\r\nContent-Length: 99999\r\n");
    Write(ecb, "<html>moved</html>");
  } else if (command == "badstatus") {
    const bool taken = Header(ecb, "200 OK\r\nSet-Cookie: evil=1", nullptr);
    Write(ecb, taken ? "taken" : "refused");
  } else if (command == "error") {
    return kHseStatusError;
  } else if (command == "slow") {
    const int now = ++in_flight;
    bool duplicate;
    {
      std::lock_guard<std::mutex> lock(conn_mutex);
      duplicate = !conns.insert(ecb->ConnID).second;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(Arg(query, "ms").c_str())));
    char id[64];
    std::snprintf(id, sizeof id, "%p", ecb->ConnID);
    Write(ecb, std::string("conn=") + id + " inflight=" + std::to_string(now) +
                   (duplicate ? " DUPLICATE" : "") + "\n");
    {
      std::lock_guard<std::mutex> lock(conn_mutex);
      if (!duplicate) conns.erase(ecb->ConnID);
    }
    --in_flight;
  } else if (command == "pieces") {
    const int n = std::atoi(Arg(query, "n").c_str());
    Write(ecb, "<html>");
    for (int i = 0; i < n; ++i) Write(ecb, std::to_string(i % 10));
    Write(ecb, "</html>");
  } else {
    Write(ecb, "unknown command");
  }
  return kHseStatusSuccess;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) bool GetExtensionVersion(HseVersionInfo* version) {
  version->dwExtensionVersion = kHseVersion;
  std::snprintf(version->lpszExtensionDesc, kHseMaxExtDllNameLen, "kivweb test extension");
  Record("load");
  return std::getenv("KIVWEB_TEST_REFUSE_LOAD") == nullptr;
}

__attribute__((visibility("default"))) uint32_t HttpExtensionProc(ExtensionControlBlock* ecb) {
  ++served;
  const std::string query = ecb->lpszQueryString;
  const std::string command = query.substr(0, query.find('?'));
  std::snprintf(ecb->lpszLogData, sizeof ecb->lpszLogData, "test:%s", command.c_str());
  return Serve(ecb, command, query);
}

__attribute__((visibility("default"))) bool TerminateExtension(uint32_t /*flags*/) {
  Record("terminate served=" + std::to_string(served.load()) +
         " inflight=" + std::to_string(in_flight.load()));
  return true;
}

}  // extern "C"
