// kivreg: reads and writes Tellwen's settings from a shell.
//
//   kivreg get NAME          the value, creating its default when missing
//   kivreg default NAME      the table default; nothing is stored
//   kivreg set NAME VALUE    stores VALUE
//   kivreg delete NAME       removes the stored value (the next read recreates it)
//   kivreg list              every stored value as NAME=VALUE, sorted by name;
//                            values it cannot read are named on stderr
//
// Exit codes: 0 success, 1 a settings failure (reported on stderr), 2 usage.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/kiv_registry.h"
#include "platform/registry/registry.h"

namespace {

constexpr const char* kUsage =
    "usage: kivreg get NAME\n"
    "       kivreg default NAME\n"
    "       kivreg set NAME VALUE\n"
    "       kivreg delete NAME\n"
    "       kivreg list\n"
    "Reads and writes Tellwen's settings (hive root: $TELLWEN_REGISTRY, else\n"
    "/var/lib/tellwen/registry).\n";

// The largest value the programs read (as the settings store does).
constexpr std::size_t kMaxValueBytes = 1 << 20;

int Usage(const char* problem) {
  if (problem != nullptr) std::fprintf(stderr, "kivreg: %s\n", problem);
  std::fputs(kUsage, stderr);
  return 2;
}

void PrintLine(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
}

int Fail(const char* what, const std::string& name, int code) {
  std::fprintf(stderr, "kivreg: cannot %s %s: %s\n", what, name.c_str(), std::strerror(code));
  return 1;
}

int List() {
  tellwen::CKIVRegistry settings;  // creates the key, reporting a failure itself
  if (settings.LastResult() != 0) return 1;
  std::string folder;
  int rc = tellwen::registry::OpenKey(tellwen::kSettingsKey, false, &folder, nullptr);
  std::vector<std::string> names, unreadable;
  if (rc == 0) rc = tellwen::registry::ListValues(folder, &names, &unreadable);
  if (rc != 0) return Fail("list", "the settings", rc);
  int result = 0;
  for (const std::string& name : unreadable) result = Fail("list", name, EISDIR);
  for (const std::string& name : names) {
    std::string value;
    // Read the stored bytes only: listing must never create or change a value.
    if (int read = tellwen::registry::QueryValue(folder, name, kMaxValueBytes, &value); read != 0) {
      result = Fail("read", name, read);
      continue;
    }
    if (std::size_t zero = value.find('\0'); zero != std::string::npos) value.resize(zero);
    PrintLine(name + "=" + value);
  }
  return result;
}

// The stored value, or the default created where none is stored; a value
// that exists but cannot be read (a folder, too large, a name the file
// system refuses) is an error and is left as it is.
int Get(const std::string& name) {
  tellwen::CKIVRegistry settings;
  if (settings.LastResult() != 0) return 1;
  std::string folder;
  int rc = tellwen::registry::OpenKey(tellwen::kSettingsKey, false, &folder, nullptr);
  std::string value;
  if (rc == 0) rc = tellwen::registry::QueryValue(folder, name, kMaxValueBytes, &value);
  if (rc == 0) {
    if (std::size_t zero = value.find('\0'); zero != std::string::npos) value.resize(zero);
    PrintLine(value);
    return 0;
  }
  if (rc != ENOENT) return Fail("read", name, rc);
  value = settings.GetValue(name);
  if (settings.LastResult() != 0) return 1;  // reported by the store
  PrintLine(value);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage("missing command");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "list") {
    if (args.size() != 1) return Usage("list takes no arguments");
    return List();
  }
  if (command == "get" || command == "default" || command == "delete") {
    if (args.size() != 2 || args[1].empty()) return Usage("expected exactly one NAME");
    tellwen::CKIVRegistry settings;
    if (command == "delete") {
      std::string folder;
      int rc = tellwen::registry::OpenKey(tellwen::kSettingsKey, false, &folder, nullptr);
      if (rc == 0) rc = tellwen::registry::DeleteValue(folder, args[1]);
      return rc == 0 ? 0 : Fail("delete", args[1], rc);
    }
    if (command == "get") return Get(args[1]);
    PrintLine(settings.GetValue(args[1], tellwen::kDefaultValueMode));
    return 0;
  }
  if (command == "set") {
    if (args.size() != 3 || args[1].empty()) return Usage("expected NAME and VALUE");
    tellwen::CKIVRegistry settings;
    settings.SetValue(args[1], args[2]);
    return settings.LastResult() == 0 ? 0 : 1;
  }
  return Usage(("unknown command: " + command).c_str());
}
