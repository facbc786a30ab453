#include "admin/core/scan_account.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "common/scan_account_settings.h"
#include "platform/net/credentials_file.h"

namespace tellwen::admin {

ScanAccountShown LoadScanAccountBox(Settings& settings) {
  ScanAccountShown shown;
  shown.file = ReadScanAccountSettings(settings).credentials_file;
  net::NetAccount stored;
  shown.problem = net::ReadCredentialsFile(shown.file, &stored);
  shown.user = stored.user;
  shown.domain = stored.domain;
  return shown;
}

std::string AccountOfBox(Settings& settings, const ScanAccountBox& box, net::NetAccount* account) {
  *account = net::NetAccount{box.user, box.password, box.domain, false};
  if (!box.password.empty()) return "";
  net::NetAccount stored;
  const std::string file = ReadScanAccountSettings(settings).credentials_file;
  if (std::string problem = net::ReadCredentialsFile(file, &stored); !problem.empty()) {
    return problem;
  }
  // The stored password belongs to the stored user only.
  if (stored.password.empty() || stored.user != box.user) return "Type the account's password.";
  account->password = stored.password;
  return "";
}

std::string StoreScanAccountBox(Settings& settings, const ScanAccountBox& box) {
  const std::string file = ReadScanAccountSettings(settings).credentials_file;
  if (box.user.empty()) {
    if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
      return file + " cannot be removed: " + std::strerror(errno);
    }
    return "";
  }
  net::NetAccount account;
  if (std::string problem = net::CredentialValueProblem(box.password, "The password");
      !problem.empty()) {
    return problem;
  }
  if (std::string problem = AccountOfBox(settings, box, &account); !problem.empty()) {
    return problem;
  }
  return net::WriteCredentialsFile(file, account);
}

ScanAccountTest TestScanAccount(net::Network& network, const net::NetAccount& account,
                                const std::string& computer) {
  net::NetResource resource;
  resource.remote_name = computer.rfind("\\\\", 0) == 0 ? computer : "\\\\" + computer;
  const std::string& name = resource.remote_name;
  if (name.size() <= 2) return {false, "Type the name of a computer to test the account on."};
  network.AddConnection(resource, account);
  std::vector<std::string> shares;
  const net::NetStatus status = network.ShareList(name, &shares);
  network.CancelConnection(name, true);
  switch (status) {
    case net::NetStatus::kOk: {
      std::string text =
          name + ": " + std::to_string(shares.size()) + (shares.size() == 1 ? " share" : " shares");
      for (size_t i = 0; i < shares.size(); ++i) text += (i == 0 ? ": " : ", ") + shares[i];
      return {true, text};
    }
    case net::NetStatus::kAccessDenied:
      return {false, name + ": access denied"};
    case net::NetStatus::kUnreachable:
    case net::NetStatus::kNotFound:
      return {false, name + ": does not answer"};
    default:
      return {false, name + ": " + net::NetStatusText(status)};
  }
}

}  // namespace tellwen::admin
