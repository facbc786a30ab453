// Test support: a TCP server on an address of 127.0.0.0/8 that accepts every
// connection and then neither reads nor answers, like a computer whose SMB
// service hangs: a client's connect succeeds and its first request waits
// for ever (until the client's own timeout). Connections are held until
// Stop or the object goes.
//
// Thread safety: one thread owns the object; the listener runs on a thread
// of its own.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tellwen::testing {

class SilentListener {
 public:
  SilentListener() = default;
  ~SilentListener() { Stop(); }
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;

  // Listens on address:port (address in 127.0.0.0/8); false with *error.
  bool Start(const std::string& address, int port, std::string* error);
  void Stop();

  // Connections accepted so far.
  int accepted() const { return accepted_.load(); }

 private:
  void Run();

  int listen_fd_ = -1;
  int wake_[2] = {-1, -1};
  std::thread thread_;
  std::vector<int> held_;
  std::atomic<int> accepted_{0};
};

}  // namespace tellwen::testing
