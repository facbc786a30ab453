// ComputerLogin: the logins a scan worker makes to one computer. The guest
// first, as the scan always did; where the computer refuses the guest and
// the job has a scan account, the scan account from then on, for the share
// list, the walk and the attributes alike. The connection is cancelled when
// the object goes.
//
// Thread safety: one object per worker and computer, used by that worker's
// thread only (the network keeps its accounts per thread).
#pragma once

#include <string>

#include "platform/net/network.h"

namespace tellwen::indexer {

class ComputerLogin {
 public:
  // scan_account: null or without a user (and without kerberos) means guest
  // only. Both must outlive the object.
  ComputerLogin(net::Network* network, const net::NetResource& computer,
                const net::NetAccount* scan_account);
  ~ComputerLogin();
  ComputerLogin(const ComputerLogin&) = delete;
  ComputerLogin& operator=(const ComputerLogin&) = delete;

  // Runs call (returning a NetStatus); when it reads kAccessDenied while the
  // guest is in use and there is a scan account, offers the scan account and
  // runs call once more. Returns what the last run returned.
  template <typename Call>
  net::NetStatus Run(Call&& call) {
    net::NetStatus status = call();
    if (status == net::NetStatus::kAccessDenied && OfferScanAccount()) status = call();
    return status;
  }

  bool HasScanAccount() const { return scan_account_ != nullptr; }

  // The line that says name (the computer or one of its shares) refused
  // every login offered: "\\PC1: access denied (guest and scan account
  // refused)", or "(guest refused)" without a scan account.
  std::string RefusalText(const std::string& name) const;

 private:
  // False when the scan account is in use already, or there is none.
  bool OfferScanAccount();

  net::Network* network_;
  const net::NetResource& computer_;
  const net::NetAccount* scan_account_;
  bool using_scan_account_ = false;
};

// True when account names someone to offer (a user, or the ticket cache).
bool IsScanAccount(const net::NetAccount& account);

}  // namespace tellwen::indexer
