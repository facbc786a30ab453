// The "Network account" box of the Network search dialog: the scan account
// the index job offers computers that refuse the guest. It is kept in the
// credentials file that ScanCredentialsFile names (mode 0600, owned by the
// account that saves it, which is the account whose crontab runs the
// scheduled jobs), never in the settings store. The box never shows the
// stored password: an empty password box keeps it.
//
// Thread safety: functions over the caller's Settings and Network; the
// test may run on a thread of its own with a network of its own.
#pragma once

#include <string>

#include "common/settings.h"
#include "platform/net/network.h"

namespace tellwen::admin {

struct ScanAccountBox {
  std::string user;
  std::string domain;
  std::string password;  // as typed; "" keeps the stored one
};

struct ScanAccountShown {
  std::string file;  // the credentials file
  std::string user;  // the stored account, "" for guest only
  std::string domain;
  std::string problem;  // why the file could not be read, "" when it could
};

// What the box shows when it opens.
ScanAccountShown LoadScanAccountBox(Settings& settings);

// Saves the box: no user removes the file (guest only); otherwise the file
// is written with the typed password, or the stored one when none was
// typed. Returns "" or the message to show (a password with a line break,
// an account without any password, a file that cannot be written).
std::string StoreScanAccountBox(Settings& settings, const ScanAccountBox& box);

// The account the box stands for: its password, else the stored one (of
// the same user).
// Returns "" or why it cannot be had.
std::string AccountOfBox(Settings& settings, const ScanAccountBox& box, net::NetAccount* account);

// The "Test" button: lists computer's shares ("PC1" or "\\PC1") logging in
// with account only, and says what came of it: "\\PC1: 3 shares: a, b, c",
// "\\PC1: access denied", "\\PC1: does not answer". listed: the shares
// could be listed.
struct ScanAccountTest {
  bool listed = false;
  std::string text;
};
ScanAccountTest TestScanAccount(net::Network& network, const net::NetAccount& account,
                                const std::string& computer);

}  // namespace tellwen::admin
