#include "tests/support/http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace tellwen::testing {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string HttpResponse::Header(const std::string& name) const {
  auto it = headers.find(name);
  return it == headers.end() ? "" : it->second;
}

HttpConnection::HttpConnection(int port) {
  fd_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // A server that accepts nothing (its backlog full) is not waited for long.
  timeval limit{10, 0};
  setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd_);
    fd_ = -1;
    return;
  }
  timeval none{0, 0};
  setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &none, sizeof none);
}

HttpConnection::~HttpConnection() {
  if (fd_ >= 0) close(fd_);
}

bool HttpConnection::Send(const std::string& bytes) {
  std::size_t sent = 0;
  while (fd_ >= 0 && sent < bytes.size()) {
    const ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += n;
  }
  return fd_ >= 0;
}

bool HttpConnection::Fill() {
  if (fd_ < 0) return false;
  pollfd wait{fd_, POLLIN, 0};
  if (poll(&wait, 1, read_timeout_ms_) <= 0) return false;
  char block[64 << 10];
  const ssize_t n = recv(fd_, block, sizeof block, 0);
  if (n <= 0) return false;
  buffer_.append(block, n);
  return true;
}

bool HttpConnection::ReadLine(std::string* line) {
  std::size_t end;
  while ((end = buffer_.find("\r\n")) == std::string::npos) {
    if (!Fill()) return false;
  }
  *line = buffer_.substr(0, end);
  buffer_.erase(0, end + 2);
  return true;
}

bool HttpConnection::ClosedByServer(int timeout_ms) {
  if (fd_ < 0) return true;
  pollfd wait{fd_, POLLIN, 0};
  if (poll(&wait, 1, timeout_ms) <= 0) return false;
  char byte;
  return recv(fd_, &byte, 1, MSG_PEEK) == 0;
}

HttpResponse HttpConnection::Read(bool head_only) {
  HttpResponse response;
  std::string line;
  if (!ReadLine(&line) || line.compare(0, 5, "HTTP/") != 0) return response;
  const std::size_t space = line.find(' ');
  if (space == std::string::npos) return response;
  const int status = std::atoi(line.c_str() + space + 1);
  response.reason = line.size() > space + 5 ? line.substr(space + 5) : "";
  while (ReadLine(&line) && !line.empty()) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    response.headers.emplace(Lower(line.substr(0, colon)), value);
  }
  const std::string length = response.Header("content-length");
  response.chunked = Lower(response.Header("transfer-encoding")) == "chunked";
  if (head_only) {
  } else if (response.chunked) {
    for (;;) {
      if (!ReadLine(&line)) return response;  // status stays 0: truncated
      const std::size_t size = std::strtoul(line.c_str(), nullptr, 16);
      while (buffer_.size() < size + 2) {
        if (!Fill()) return response;
      }
      response.body += buffer_.substr(0, size);
      buffer_.erase(0, size + 2);
      if (size == 0) break;
    }
  } else if (!length.empty()) {
    const std::size_t size = std::strtoul(length.c_str(), nullptr, 10);
    while (buffer_.size() < size) {
      if (!Fill()) return response;
    }
    response.body = buffer_.substr(0, size);
    buffer_.erase(0, size);
  } else {
    while (Fill()) {
    }
    response.body.swap(buffer_);
  }
  response.status = status;
  return response;
}

HttpResponse Fetch(int port, const std::string& raw_request) {
  HttpConnection connection(port);
  if (!connection.Send(raw_request)) return HttpResponse();
  return connection.Read(raw_request.compare(0, 5, "HEAD ") == 0);
}

HttpResponse Get(int port, const std::string& path, const std::string& extra_headers) {
  return Fetch(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                         "\r\nConnection: close\r\n" + extra_headers + "\r\n");
}

HttpResponse Post(int port, const std::string& path, const std::string& body) {
  return Fetch(port, "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                         "\r\nConnection: close\r\nContent-Type: application/x-www-form-urlencoded"
                         "\r\nContent-Length: " +
                         std::to_string(body.size()) + "\r\n\r\n" + body);
}

}  // namespace tellwen::testing
