#include "platform/desktop/windows_plugin.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>

#include "platform/desktop/display.h"
#include "platform/desktop/program_folder.h"

namespace tellwen::desktop {

std::string WindowsPluginPath(const std::string& program) {
  return OwnFolder() + "windows/" + program + ".so";
}

bool WindowsInstalled(const std::string& program) {
  return ::access(WindowsPluginPath(program).c_str(), R_OK) == 0;
}

int RunWindowsPlugin(const std::string& program, int argc, char** argv, std::string* error) {
  const std::string path = WindowsPluginPath(program);
  // Never unloaded: the windows' libraries keep threads and handlers of
  // their own until the process ends.
  void* plugin = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (plugin == nullptr) {
    *error = "cannot load " + path + ": " + ::dlerror();
    return -1;
  }
  using Entry = int (*)(int, char**);
  auto entry = reinterpret_cast<Entry>(::dlsym(plugin, kWindowsEntry));
  if (entry == nullptr) {
    *error = path + " has no " + kWindowsEntry;
    return -1;
  }
  return entry(argc, argv);
}

bool RunWindowsIfWanted(const std::string& program, bool headless_asked, int argc, char** argv,
                        int* exit_code) {
  if (!UseWindows(headless_asked)) return false;
  std::string why;
  if (!WindowsInstalled(program)) {
    why = "no windows installed (" + WindowsPluginPath(program) + ")";
  } else if (const int code = RunWindowsPlugin(program, argc, argv, &why); code >= 0) {
    *exit_code = code;
    return true;
  }
  std::fprintf(stderr, "%s: %s; running headless\n", program.c_str(), why.c_str());
  return false;
}

}  // namespace tellwen::desktop
