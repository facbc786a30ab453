// Test support: kivweb run as a child process on 127.0.0.1 and a free port
// of the system's choosing (--listen 127.0.0.1:0; the port is read from its
// "serving http://..." line). Its stderr goes to a file the test can read.
// Stopped with SIGTERM when the object goes.
//
// When the test runs as root, kivweb drops to an account: RunAsAccount()
// names the one tests use ("nobody"), and MakeReadable() opens a test's
// folders to it.
//
// Thread safety: one thread owns the object; port() may be read anywhere.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/run_as_account.h"

namespace tellwen::testing {

class KivwebProcess {
 public:
  KivwebProcess() = default;
  ~KivwebProcess();
  KivwebProcess(const KivwebProcess&) = delete;
  KivwebProcess& operator=(const KivwebProcess&) = delete;

  // Starts kivweb with args (after --listen 127.0.0.1:0 unless args hold
  // --listen) and environment extra_env ("NAME=value") added.
  // Waits until it serves or exits. log_path receives its stderr. Returns an
  // empty text on success, else what went wrong with the log so far.
  std::string Start(const std::vector<std::string>& args, const std::string& log_path,
                    const std::vector<std::string>& extra_env = {});

  // SIGTERM, then waits up to timeout_ms for the exit. Returns the exit
  // status, 128 + signal when killed by one, -1 when it did not end in time
  // (it is then killed).
  int Stop(int timeout_ms = 30000);

  // Waits for a process that should end by itself; as Stop.
  int Wait(int timeout_ms);

  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  std::string Log() const;
  // Waits up to timeout_ms for text to appear in the log (access lines are
  // written just after the response has gone).
  bool WaitForLog(const std::string& text, int timeout_ms = 10000) const;
  // Resident memory of the process in KiB now and at its peak, 0 when
  // unknown.
  long RssKb() const { return StatusKb("VmRSS:"); }
  long PeakRssKb() const { return StatusKb("VmHWM:"); }

 private:
  long StatusKb(const char* field) const;
  pid_t pid_ = -1;
  int port_ = 0;
  std::string log_path_;
};

}  // namespace tellwen::testing
