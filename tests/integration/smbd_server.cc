#include "tests/integration/smbd_server.h"

#include <sys/wait.h>

#include <cstdio>
#include <fstream>

#ifndef TELLWEN_SMBD_FIXTURE
#error "TELLWEN_SMBD_FIXTURE must name tests/integration/smbd-fixture"
#endif

namespace tellwen::testing {

std::string SmbdServer::Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

int RunCommand(const std::string& command, std::string* output) {
  output->clear();
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string SmbdServer::ClientConfig() {
  std::string path = TELLWEN_SMBD_FIXTURE;
  return path.substr(0, path.rfind('/') + 1) + "smb-client.conf";
}

bool SmbdServer::Start(const std::string& folder, const std::string& shares, std::string* error) {
  folder_ = folder;
  const std::string shares_file = folder + "/shares.conf";
  std::ofstream(shares_file) << shares;
  std::string output;
  int status = RunCommand(std::string(TELLWEN_SMBD_FIXTURE) + " start " + Quote(folder + "/smbd") +
                              " " + Quote(shares_file) + " 2>/dev/null",
                          &output);
  if (status != 0) {
    std::string log;
    RunCommand("cat " + Quote(folder + "/smbd/log/smbd.out") + " 2>&1", &log);
    *error = "smbd-fixture failed: " + output + log;
    Stop();
    return false;
  }
  port_ = std::atoi(output.c_str());
  return port_ > 0;
}

bool SmbdServer::AddUser(const std::string& user, const std::string& password, std::string* error) {
  // The password goes through a pipe, never a command line.
  const std::string command = std::string(TELLWEN_SMBD_FIXTURE) + " adduser " +
                              Quote(folder_ + "/smbd") + " " + Quote(user) + " 2>&1";
  std::FILE* pipe = popen(command.c_str(), "w");
  if (pipe == nullptr) {
    *error = "cannot run the smbd fixture";
    return false;
  }
  std::fputs((password + "\n").c_str(), pipe);
  const int status = pclose(pipe);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    *error = "smbd-fixture adduser failed";
    return false;
  }
  return true;
}

void SmbdServer::Stop() {
  if (folder_.empty()) return;
  std::string ignored;
  RunCommand(std::string(TELLWEN_SMBD_FIXTURE) + " stop " + Quote(folder_ + "/smbd"), &ignored);
  folder_.clear();
  port_ = 0;
}

}  // namespace tellwen::testing
