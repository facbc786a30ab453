// Test support: the account that servers started by tests run as when the
// tests run as root (kivweb drops to it, PostgreSQL refuses root), and the
// opening of a test's folders to it.
//
// Thread safety: MakeReadable changes the files' modes and owners; call it
// before the server starts.
#pragma once

#include <string>

namespace tellwen::testing {

// "nobody" when the tests run as root, else "" (servers run as the tester).
std::string RunAsAccount();

// Makes path and everything under it readable by the account of
// RunAsAccount() (and, with writable, hands it to that account); nothing
// when not root.
void MakeReadable(const std::string& path, bool writable = false);

}  // namespace tellwen::testing
