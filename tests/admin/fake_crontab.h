// Test support: a crontab program standing in for cron's. It keeps the
// crontab in a file of its own folder (`-l` prints it or says "no crontab
// for ..." and exits 1, `-` stores standard input) and fails with exit code
// 2 and "cron is broken" once Fail() has been called.
#pragma once

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/scheduler/crontab_program.h"
#include "tests/support/temp_dir.h"

namespace tellwen::testing {

class FakeCrontab {
 public:
  FakeCrontab() {
    program.path = dir_.path() + "/crontab";
    std::ofstream script(program.path);
    script << "#!/bin/sh\n"
           << "store='" << dir_.path() << "/tab'\n"
           << "[ -e '" << dir_.path() << "/fail' ] && { echo 'cron is broken' >&2; exit 2; }\n"
           << "case \"$1\" in\n"
           << "  -l) [ -e \"$store\" ] || { echo \"no crontab for $USER\" >&2; exit 1; }\n"
           << "      cat \"$store\" ;;\n"
           << "  -) cat > \"$store\" ;;\n"
           << "esac\n";
    script.close();
    chmod(program.path.c_str(), 0755);
  }

  std::string Tab() const {
    std::ifstream in(dir_.path() + "/tab");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void Fail() { std::ofstream(dir_.path() + "/fail").close(); }

  scheduler::CrontabProgram program;

 private:
  TempDir dir_;
};

}  // namespace tellwen::testing
