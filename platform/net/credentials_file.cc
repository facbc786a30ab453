#include "platform/net/credentials_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "base/atomic_file.h"

namespace tellwen::net {

namespace {

constexpr size_t kMaxFileBytes = 64 * 1024;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The group a file may share with its owner: the owner's own group.
bool IsOwnersGroup(uid_t owner, gid_t group) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(owner, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
    return false;
  }
  return found->pw_gid == group;
}

// Why the file's mode lets another account at it ("" when it does not).
std::string ModeProblem(const struct stat& st, const std::string& path) {
  const mode_t mode = st.st_mode;
  const bool others = (mode & (S_IRWXO)) != 0;
  const bool group_write = (mode & (S_IWGRP | S_IXGRP)) != 0;
  const bool group_read = (mode & S_IRGRP) != 0;
  if (others || group_write || (group_read && !IsOwnersGroup(st.st_uid, st.st_gid))) {
    return path + " is readable by other accounts; make it 0600";
  }
  return "";
}

std::string SystemError(const std::string& path, const char* what, int error) {
  return path + " " + what + ": " + std::strerror(error);
}

}  // namespace

std::string ParseCredentials(std::string_view text, const std::string& path, NetAccount* account) {
  *account = NetAccount{};
  int number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == '#') continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      return path + " line " + std::to_string(number) + ": expected NAME = VALUE";
    }
    const std::string name = Lower(TrimBlanks(line.substr(0, equals)));
    std::string_view value = line.substr(equals + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
      value.remove_prefix(1);
    }
    if (name == "username") {
      account->user.assign(value);
    } else if (name == "password") {
      account->password.assign(value);
    } else if (name == "domain") {
      account->domain.assign(value);
    } else if (name != "realm") {
      return path + " line " + std::to_string(number) +
             ": unknown name (username, password and domain are known)";
    }
  }
  return "";
}

std::string ReadCredentialsFile(const std::string& path, NetAccount* account) {
  *account = NetAccount{};
  if (path.empty()) return "";
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT) return "";
    if (errno == ELOOP) return path + " is a symbolic link; name the file itself";
    return SystemError(path, "cannot be read", errno);
  }
  struct stat st {};
  std::string problem;
  if (::fstat(fd, &st) != 0) {
    problem = SystemError(path, "cannot be read", errno);
  } else if (!S_ISREG(st.st_mode)) {
    problem = path + " is not a regular file";
  } else {
    problem = ModeProblem(st, path);
  }
  std::string text;
  if (problem.empty()) {
    char buffer[4096];
    while (true) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        problem = SystemError(path, "cannot be read", errno);
        break;
      }
      if (n == 0) break;
      text.append(buffer, static_cast<size_t>(n));
      if (text.size() > kMaxFileBytes) {
        problem = path + " is too large for a credentials file";
        break;
      }
    }
  }
  ::close(fd);
  if (problem.empty()) problem = ParseCredentials(text, path, account);
  // The file's bytes held the password: wipe them before they are freed.
  std::fill(text.begin(), text.end(), '\0');
  if (!problem.empty()) *account = NetAccount{};
  return problem;
}

std::string LoadScanAccount(const std::string& path, bool kerberos, NetAccount* account) {
  std::string problem = ReadCredentialsFile(path, account);
  if (!problem.empty() || !kerberos) return problem;
  account->kerberos = true;
  if (account->user.empty()) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr) {
      account->user = found->pw_name;
    }
  }
  return "";
}

std::string CredentialValueProblem(std::string_view value, const std::string& what) {
  if (value.find_first_of("\r\n") != std::string_view::npos) {
    return what + " cannot hold a line break.";
  }
  if (value.find('\0') != std::string_view::npos) return what + " cannot hold a NUL character.";
  if (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
    return what + " cannot start with a blank.";
  }
  return "";
}

std::string WriteCredentialsFile(const std::string& path, const NetAccount& account) {
  for (const auto& [value, what] :
       {std::pair{&account.user, "The user name"}, std::pair{&account.password, "The password"},
        std::pair{&account.domain, "The domain"}}) {
    if (std::string problem = CredentialValueProblem(*value, what); !problem.empty()) {
      return problem;
    }
  }
  std::string text = "# The account the index job offers computers that refuse the guest.\n";
  text += "username = " + account.user + "\n";
  text += "password = " + account.password + "\n";
  if (!account.domain.empty()) text += "domain = " + account.domain + "\n";

  AtomicWriteOptions options;
  options.mode = S_IRUSR | S_IWUSR;
  options.sync = true;
  std::string problem;
  if (const int error = WriteFileAtomically(path, text, options); error != 0) {
    problem = SystemError(path, "cannot be written", error);
  }
  std::fill(text.begin(), text.end(), '\0');
  return problem;
}

}  // namespace tellwen::net
