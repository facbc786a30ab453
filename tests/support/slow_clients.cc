#include "tests/support/slow_clients.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "tests/support/http_client.h"

namespace tellwen::testing {

int RawConnection(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval limit{3, 0};  // a server that accepts nothing fails the test in time
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
  if (fd >= 0) close(fd);
  return -1;
}

long SlowestFreshAnswer(int port, const std::string& path, int requests) {
  long slowest = 0;
  for (int i = 0; i < requests; ++i) {
    const auto start = std::chrono::steady_clock::now();
    HttpConnection connection(port);
    connection.set_read_timeout_ms(3000);
    if (!connection.connected() ||
        !connection.Send("GET " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n") ||
        connection.Read().status != 200) {
      return -1;
    }
    const long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    slowest = std::max(slowest, ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  return slowest;
}

bool RaiseOpenFileLimit(unsigned long count) {
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) != 0) return false;
  if (files.rlim_cur >= count) return true;
  if (files.rlim_max < count && geteuid() == 0) files.rlim_max = count;
  files.rlim_cur = std::min<rlim_t>(count, files.rlim_max);
  setrlimit(RLIMIT_NOFILE, &files);
  return getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur >= count;
}

SlowClients::~SlowClients() {
  Stop();
  for (const std::vector<int>* fds : {&idle_, &bodies_, &heads_}) {
    for (int fd : *fds) close(fd);
  }
}

bool SlowClients::Open(int count, const std::string& first_bytes, std::vector<int>* fds) {
  for (int i = 0; i < count; ++i) {
    const int fd = RawConnection(port_);
    if (fd < 0) {
      ADD_FAILURE() << "connection " << i << " refused";
      return false;
    }
    fds->push_back(fd);
    if (!first_bytes.empty()) send(fd, first_bytes.data(), first_bytes.size(), MSG_NOSIGNAL);
  }
  return true;
}

bool SlowClients::HoldIdle(int count) { return Open(count, "", &idle_); }

bool SlowClients::Trickle(int count, const std::string& post_path, const std::string& get_path) {
  if (!Open(count, "POST " + post_path + " HTTP/1.1\r\nHost: x\r\nContent-Length: 100000\r\n\r\na",
            &bodies_) ||
      !Open(count, "GET " + get_path + " HTTP/1.1\r\nHost: x\r\n", &heads_)) {
    return false;
  }
  trickle_ = std::thread([this] {
    while (!done_) {
      for (int fd : bodies_) send(fd, "a", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
      for (int fd : heads_) send(fd, "X-More: a\r\n", 11, MSG_NOSIGNAL | MSG_DONTWAIT);
      for (int i = 0; i < 10 && !done_; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    }
  });
  return true;
}

void SlowClients::Stop() {
  done_ = true;
  if (trickle_.joinable()) trickle_.join();
}

int SlowClients::TimedOut() {
  Stop();
  int timed_out = 0;
  for (const std::vector<int>* fds : {&bodies_, &heads_}) {
    for (int fd : *fds) {
      pollfd wait{fd, POLLIN, 0};
      char answer[64] = "";
      if (poll(&wait, 1, 1000) == 1 && recv(fd, answer, sizeof answer - 1, MSG_DONTWAIT) > 0 &&
          std::string(answer).compare(0, 12, "HTTP/1.1 408") == 0) {
        ++timed_out;
      }
    }
  }
  return timed_out;
}

}  // namespace tellwen::testing
