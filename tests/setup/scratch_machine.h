// Test support for setup: a scratch machine in a temporary folder. Every
// system path of SetupPaths points inside it; the account tools and crontab
// are stand-in scripts that append their command line to tools.log and end
// with the code written into "<tool>.exit" (0 when there is none); the
// stand-in crontab keeps the crontab in crontab.txt. The install folder
// holds webfiles/ with every file setup copies.
#pragma once

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include "setup/core/setup_paths.h"
#include "setup/core/setup_tasks.h"
#include "setup/core/web_files.h"
#include "tests/support/temp_dir.h"

namespace tellwen::testing {

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class ScratchMachine {
 public:
  ScratchMachine() {
    const std::string& base = dir_.path();
    std::filesystem::create_directories(base + "/bin");
    std::filesystem::create_directories(base + "/install/webfiles");
    for (const char* tool : {"useradd", "usermod", "userdel", "groupadd"}) {
      MakeTool(tool, "echo \"" + std::string(tool) + " $*\" >>'" + base + "/tools.log'\n");
    }
    MakeTool("crontab", "echo \"crontab $*\" >>'" + base + "/tools.log'\n" +
                            "if [ \"$1\" = -l ]; then cat '" + base + "/crontab.txt' 2>/dev/null " +
                            "|| { echo 'no crontab for user' >&2; exit 1; }; " + "else cat >'" +
                            base + "/crontab.txt'; fi\n");
    for (const char* name : setup::kSiteFiles) WriteFile(install() + "webfiles/" + name, name);
    WriteFile(install() + "webfiles/KIVQuery.so", "extension");
    paths.web_config = base + "/etc/kivweb.conf";
    paths.autostart_folder = base + "/autostart/";
    paths.registry_folder = base + "/registry";
    paths.data_folder = base + "/data";
    for (auto* tool :
         {&paths.useradd, &paths.usermod, &paths.userdel, &paths.groupadd, &paths.crontab}) {
      *tool = base + "/bin/" + *tool;
    }
    // A group nobody has: the group is always made.
    paths.group = "tellwen-test-none";
    paths.account = "kiv_test_none";
    paths.change_ownership = false;
  }

  std::string root() const { return dir_.path() + "/www/root/"; }
  std::string scripts() const { return dir_.path() + "/www/scripts/"; }
  std::string install() const { return dir_.path() + "/install/"; }
  const std::string& base() const { return dir_.path(); }
  std::string ToolLog() const { return ReadFile(dir_.path() + "/tools.log"); }
  void SetToolExit(const std::string& tool, int code) {
    WriteFile(dir_.path() + "/" + tool + ".exit", std::to_string(code));
  }
  setup::SetupValues Values() const { return {root(), scripts(), {}}; }

  setup::SetupPaths paths;

 private:
  void MakeTool(const std::string& name, const std::string& body) {
    const std::string path = dir_.path() + "/bin/" + name;
    WriteFile(path, "#!/bin/sh\n" + body + "code=$(cat '" + dir_.path() + "/" + name +
                        ".exit' 2>/dev/null)\nexit ${code:-0}\n");
    ::chmod(path.c_str(), 0755);
  }

  TempDir dir_;
};

}  // namespace tellwen::testing
