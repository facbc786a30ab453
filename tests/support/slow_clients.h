// Test support: clients that hold a web server's connections without
// finishing a request (idle connections, request bodies and heads that come
// a few bytes at a time), and the time a fresh request takes meanwhile.
//
// Thread safety: one SlowClients object is used by one test thread; its own
// thread only writes to the connections it holds.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tellwen::testing {

// A connection to 127.0.0.1:port that sends only what the test writes; -1
// when it cannot be made.
int RawConnection(int port);

// The slowest of `requests` fresh GETs of path, a quarter second apart:
// milliseconds, or -1 when one was not answered 200 within 3 s.
long SlowestFreshAnswer(int port, const std::string& path, int requests);

// Raises this process's open-file limit to hold `count` descriptors; false
// when the hard limit does not allow it.
bool RaiseOpenFileLimit(unsigned long count);

class SlowClients {
 public:
  explicit SlowClients(int port) : port_(port) {}
  ~SlowClients();

  // Opens count connections that send nothing. False (with a test failure
  // recorded) when one is refused.
  bool HoldIdle(int count);
  // Opens count connections of each kind, then sends a byte of each body and
  // a header line of each head every second until the object ends: POSTs of
  // post_path promising 100 kB, and GETs of get_path whose head never ends.
  bool Trickle(int count, const std::string& post_path, const std::string& get_path);
  // How many trickling connections have been answered "408" (waits up to
  // 1 s for each). Stops the trickle first.
  int TimedOut();

 private:
  void Stop();
  bool Open(int count, const std::string& first_bytes, std::vector<int>* fds);

  const int port_;
  std::vector<int> idle_, bodies_, heads_;
  std::atomic<bool> done_{false};
  std::thread trickle_;
};

}  // namespace tellwen::testing
