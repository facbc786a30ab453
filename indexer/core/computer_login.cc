#include "indexer/core/computer_login.h"

namespace tellwen::indexer {

bool IsScanAccount(const net::NetAccount& account) {
  return !account.user.empty() || account.kerberos;
}

ComputerLogin::ComputerLogin(net::Network* network, const net::NetResource& computer,
                             const net::NetAccount* scan_account)
    : network_(network),
      computer_(computer),
      scan_account_(scan_account != nullptr && IsScanAccount(*scan_account) ? scan_account
                                                                            : nullptr) {
  network_->AddConnection(computer_, net::GuestAccount());
}

ComputerLogin::~ComputerLogin() { network_->CancelConnection(computer_.remote_name, true); }

bool ComputerLogin::OfferScanAccount() {
  if (scan_account_ == nullptr || using_scan_account_) return false;
  using_scan_account_ = true;
  network_->AddConnection(computer_, *scan_account_);
  return true;
}

std::string ComputerLogin::RefusalText(const std::string& name) const {
  return name + (scan_account_ != nullptr ? ": access denied (guest and scan account refused)"
                                          : ": access denied (guest refused)");
}

}  // namespace tellwen::indexer
