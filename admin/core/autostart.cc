#include "admin/core/autostart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tellwen::admin {
namespace {

std::string EntryPath(const std::string& folder) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  path += kAutostartFile;
  return path;
}

// The Exec key's quoting: a path with blanks or quotes goes in double
// quotes, with "\", "\"", "`" and "$" escaped.
std::string ExecQuoted(const std::string& path) {
  if (path.find_first_of(" \t\"'\\`$") == std::string::npos) return path;
  std::string out = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

}  // namespace

bool AutostartPresent(const std::string& folder) {
  struct stat info;
  return stat(EntryPath(folder).c_str(), &info) == 0;
}

std::string AutostartEntry(const std::string& exec_path) {
  std::string text =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=KIVMonitor\n"
      "Comment=Tellwen ping monitor\n"
      "Exec=";
  text += ExecQuoted(exec_path);
  text += "\nTerminal=false\n";
  return text;
}

int WriteAutostart(const std::string& folder, const std::string& exec_path) {
  const std::string path = EntryPath(folder);
  const std::string temporary = path + ".tmp";
  const std::string text = AutostartEntry(exec_path);
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  size_t done = 0;
  int error = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) unlink(temporary.c_str());
  return error;
}

int RemoveAutostart(const std::string& folder) {
  if (unlink(EntryPath(folder).c_str()) == 0 || errno == ENOENT) return 0;
  return errno;
}

std::string AutostartWriteError(int code) {
  return "Registry error: RegSetKeyEx returned " + std::to_string(code);
}

std::string AutostartRemoveError(int code) {
  return "Registry error: RegDeleteValue returned " + std::to_string(code);
}

}  // namespace tellwen::admin
