// The settings of the scan account, the identity the index job offers a
// computer that refuses the guest login:
//
//   ScanCredentialsFile      the credentials file (platform/net/
//                            credentials_file.h); default
//                            /etc/tellwen/scan.credentials. The password is
//                            kept there and nowhere else.
//   ScanUseKerberos          "1": try the ticket cache of the account running
//                            the job first, then the file's account
//   DownloadWithScanAccount  "1": the site's downloads log in as the scan
//                            account where the guest is refused (every user
//                            of the site may then download what that account
//                            may read); "0" (default): guest only
//
// Thread safety: plain values and functions over the caller's Settings.
#pragma once

#include <string>

#include "common/settings.h"

namespace tellwen {

inline constexpr const char* kDefaultScanCredentialsFile = "/etc/tellwen/scan.credentials";

struct ScanAccountSettings {
  std::string credentials_file;
  bool use_kerberos = false;
  bool download_with_scan_account = false;
};

ScanAccountSettings ReadScanAccountSettings(Settings& settings);

}  // namespace tellwen
