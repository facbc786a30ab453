#include "common/scan_account_settings.h"

namespace tellwen {

ScanAccountSettings ReadScanAccountSettings(Settings& settings) {
  ScanAccountSettings values;
  values.credentials_file = settings.GetValue("ScanCredentialsFile");
  values.use_kerberos = settings.GetBoolValue("ScanUseKerberos");
  values.download_with_scan_account = settings.GetBoolValue("DownloadWithScanAccount");
  return values;
}

}  // namespace tellwen
