#include "platform/scheduler/autostart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/atomic_file.h"

namespace tellwen::scheduler {
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
  return WriteFileAtomically(EntryPath(folder), AutostartEntry(exec_path));
}

int RemoveAutostart(const std::string& folder) {
  if (unlink(EntryPath(folder).c_str()) == 0 || errno == ENOENT) return 0;
  return errno;
}

std::string AutostartWriteError(int code) {
  return "Registry error: RegSetKeyEx returned " + std::to_string(code);
}

std::string SetAutoloadMonitor(const std::string& folder, const std::string& programs_folder,
                               bool on) {
  if (on) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const int code = WriteAutostart(folder, programs_folder + "KIVMonitor");
    return code == 0 ? "" : AutostartWriteError(code);
  }
  if (!AutostartPresent(folder)) return "";
  const int code = RemoveAutostart(folder);
  return code == 0 ? "" : AutostartRemoveError(code);
}

std::string AutostartRemoveError(int code) {
  return "Registry error: RegDeleteValue returned " + std::to_string(code);
}

}  // namespace tellwen::scheduler
