// SmbNetwork: the Network calls over SMB, built on libsmbclient.
//
// Mapping of the network's levels: the root holds one provider; the
// provider's enumeration lists the workgroups ("smb://"), a workgroup's lists
// its computers ("smb://WORKGROUP"), a computer's lists its shares
// ("smb://PC1"). Listing a folder and reading attributes use
// "smb://PC1/share/dir".
//
// AddConnection records the account a thread's calls to a computer log in
// with (libsmbclient's authentication callback hands it over: user,
// password, and the domain in place of the configured workgroup when one is
// given); CancelConnection forgets it and drops the cached sessions of the
// calling thread. Without a recorded account the guest login is used. The
// server's refusal of a login reads kAccessDenied; a server that refuses the
// guest may still grant an anonymous session, so a share list can succeed
// where the share itself is refused. An account with kerberos set makes
// the library try the ticket cache of the account running the program
// ($KRB5CCNAME) first, then its user and password.
//
// Each thread gets its own libsmbclient context on first use, freed when the
// thread ends. Once a call of the process has succeeded, threads call the
// library at once, each through its own context (only making, starting and
// freeing contexts is serialised), so a computer that does not answer holds
// up only the threads that asked it (before that first success, calls take
// turns, as the library sets up shared state during one, but a call waits
// its turn at most kWarmUpTurnMs: one that takes longer is waiting on a
// server, and a server that never answers holds up no other call for long);
// each call to a server waits at most options.timeout_ms, and a computer
// named by a dotted address is first probed with a TCP connection (OpenEnum,
// ShareList, OpenFile) so one that takes none is unreachable within that
// time. The SMB port is options.port, else $TELLWEN_SMB_PORT, else the
// library's choice (445, then 139). The client
// configuration is SmbConfigFile(options); one that cannot be loaded makes
// every call fail with kError (and says so once on stderr), rather than
// falling back to a configuration that may resolve names differently.
//
// GetFileAttributes answers from the listing the calling thread has open on
// the path's folder when the path is the entry that listing returned last
// (the server sent those attributes a moment ago); otherwise it asks the
// server.
//
// File ids are the st_ino numbers libsmbclient reports: the server's own
// file number where it sends one (smbd does), else a hash of the path.
//
// Thread safety: as Network; one object serves every thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/net/network.h"

namespace tellwen::net {

struct SmbOptions {
  // The client configuration (an smb.conf) to load: this file, else
  // $TELLWEN_SMB_CONF, else the system's. It decides, among others, how
  // computer names are resolved (tests use one that resolves through the
  // hosts file only, so nothing is ever broadcast).
  std::string config_file;
  int port = 0;            // 0: the default ports (445, then 139)
  int timeout_ms = 20000;  // per call to a server
  // OpenFile's probe of a computer named by a dotted address: a download
  // from a computer that takes no connection ends within this bound.
  int connect_timeout_ms = 5000;
  std::string provider_name = "SMB Network";
};

// Before the first call of the process has succeeded, how long a call waits
// for the call ahead of it.
inline constexpr int kWarmUpTurnMs = 2000;

// The port $TELLWEN_SMB_PORT names, or 0 when unset or not a port number.
// Read by the program that builds the network, for SmbOptions::port.
int SmbPortFromEnvironment();

// options.config_file, else $TELLWEN_SMB_CONF, else "" (the system's).
std::string SmbConfigFile(const SmbOptions& options);

class SmbNetwork : public Network {
 public:
  explicit SmbNetwork(SmbOptions options = {});
  ~SmbNetwork() override;

  NetStatus AddConnection(const NetResource& resource, const NetAccount& account) override;
  NetStatus CancelConnection(const std::string& name, bool force) override;
  std::unique_ptr<ResourceEnumeration> OpenEnum(const NetResource* container,
                                                NetStatus* status) override;
  NetStatus ShareList(const std::string& computer, std::vector<std::string>* names) override;
  std::unique_ptr<FolderListing> FindFirst(const std::string& folder, NetStatus* status) override;
  NetStatus GetFileAttributes(const std::string& path, FileAttributes* attributes) override;
  // Reads go through the calling thread's context; the reader belongs to
  // that thread.
  std::unique_ptr<FileReader> OpenFile(const std::string& path, NetStatus* status) override;

  const SmbOptions& options() const { return options_; }

 private:
  SmbOptions options_;
  uint64_t id_;  // tells this object's per-thread contexts from another's
};

}  // namespace tellwen::net
