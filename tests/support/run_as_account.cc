#include "tests/support/run_as_account.h"

#include <pwd.h>
#include <unistd.h>

#include <filesystem>

namespace tellwen::testing {

std::string RunAsAccount() { return geteuid() == 0 ? "nobody" : ""; }

void MakeReadable(const std::string& path, bool writable) {
  if (geteuid() != 0) return;
  namespace fs = std::filesystem;
  const passwd* account = getpwnam(RunAsAccount().c_str());
  auto open_up = [&](const fs::path& p) {
    std::error_code ignored;
    const bool folder = fs::is_directory(p, ignored);
    fs::permissions(
        p,
        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read |
            (folder ? fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec
                    : fs::perms::none),
        fs::perm_options::add, ignored);
    if (writable && account != nullptr) {
      if (chown(p.c_str(), account->pw_uid, account->pw_gid) != 0) {
      }
    }
  };
  open_up(path);
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(path, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    open_up(it->path());
  }
}

}  // namespace tellwen::testing
