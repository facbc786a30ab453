// Test support: a private smbd serving shares from folders the test made,
// started through tests/integration/smbd-fixture (its own configuration and
// state under the given folder, a free high port on 127.0.0.1, no NetBIOS,
// guests mapped to the account running the test). Stopped, with the helpers
// it started, when the object goes.
//
// Thread safety: one thread owns the object.
#pragma once

#include <string>

namespace tellwen::testing {

class SmbdServer {
 public:
  SmbdServer() = default;
  ~SmbdServer() { Stop(); }
  SmbdServer(const SmbdServer&) = delete;
  SmbdServer& operator=(const SmbdServer&) = delete;

  // shares: smb.conf share sections. On failure returns false with the
  // fixture's output in *error.
  bool Start(const std::string& folder, const std::string& shares, std::string* error);
  void Stop();

  // Adds user (an account of this machine) with password to the server's
  // own user database; needs root. On failure returns false with the
  // fixture's output in *error.
  bool AddUser(const std::string& user, const std::string& password, std::string* error);

  int port() const { return port_; }

  // The SMB client configuration the tests use (tests/integration/
  // smb-client.conf): names resolve through the hosts file only.
  static std::string ClientConfig();

  // The shell-quoted form of text.
  static std::string Quote(const std::string& text);

 private:
  std::string folder_;
  int port_ = 0;
};

// Runs a shell command; returns its exit status and puts its stdout into
// *output (add "2>&1" to the command for stderr too).
int RunCommand(const std::string& command, std::string* output);

}  // namespace tellwen::testing
