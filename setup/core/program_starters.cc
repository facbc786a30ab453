#include "setup/core/program_starters.h"

#include <cerrno>
#include <cstdio>

#include "platform/desktop/program_launcher.h"
#include "platform/desktop/program_run.h"

namespace tellwen::setup {

int DetachedStarter::Start(const std::string& program, const std::vector<std::string>& args) {
  const Status started =
      desktop::StartInstalledProgram(settings_.GetValue("KIVInstallPathExes"), program, args);
  if (started.ok()) return 0;
  return started.code() == Status::Code::kNotFound ? ENOENT : EIO;
}

int WaitingStarter::Start(const std::string& program, const std::vector<std::string>& args) {
  if (args.size() != 1 || args[0] != "/setup") {
    return DetachedStarter::Start(program, args);
  }
  std::vector<std::string> argv{settings().GetValue("KIVInstallPathExes") + program};
  argv.insert(argv.end(), args.begin(), args.end());
  // Its progress is shown only when it fails, below the task's line.
  const desktop::ProgramRun run = desktop::RunProgram(argv);
  if (!run.ok()) std::fputs(run.output.c_str(), stderr);
  return run.spawn_error != 0 ? run.spawn_error : run.exit_code;
}

}  // namespace tellwen::setup
