#include "tests/support/postgres_server.h"

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "platform/desktop/program_run.h"
#include "tests/support/file_text.h"
#include "tests/support/run_as_account.h"

namespace tellwen::testing {
namespace {

namespace fs = std::filesystem;

// The newest installed server's programs: /usr/lib/postgresql/<major>/bin.
std::string ServerPrograms() {
  std::vector<std::string> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", error)) {
    if (fs::exists(entry.path() / "bin" / "initdb")) found.push_back(entry.path().string());
  }
  if (found.empty()) return "";
  std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
    return std::atoi(fs::path(a).filename().c_str()) < std::atoi(fs::path(b).filename().c_str());
  });
  return found.back() + "/bin";
}

// A port no socket of this machine holds now (the system's choice).
int FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(s);
  return port;
}

// The account the server runs as; nullptr when it runs as the tester.
const passwd* ServerAccount() {
  const std::string account = RunAsAccount();
  return account.empty() ? nullptr : getpwnam(account.c_str());
}

// argv run as the server's account (as it is when not root).
desktop::ProgramRun RunAsServer(std::vector<std::string> argv) {
  if (const passwd* entry = ServerAccount()) {
    argv.insert(argv.begin(), {"setpriv", "--reuid=" + std::to_string(entry->pw_uid),
                               "--regid=" + std::to_string(entry->pw_gid), "--clear-groups", "--"});
  }
  return desktop::RunProgram(argv);
}

std::string RandomPassword() {
  std::random_device device;
  std::string password;
  for (int i = 0; i < 20; ++i) password += "abcdefghijkmnpqrstuvwxyz23456789"[device() % 32];
  return password;
}

}  // namespace

std::unique_ptr<PostgresServer> PostgresServer::Start(std::string* why) {
  std::unique_ptr<PostgresServer> server(new PostgresServer());
  server->bin_ = ServerPrograms();
  if (server->bin_.empty()) {
    *why = "no PostgreSQL server is installed (/usr/lib/postgresql/*/bin/initdb)";
    return nullptr;
  }
  std::string pattern = (fs::temp_directory_path() / "tellwen-pg.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    *why = "no scratch folder";
    return nullptr;
  }
  server->root_ = pattern;
  server->password_ = RandomPassword();
  MakeReadable(server->root_, /*writable=*/true);
  // The superuser's password: readable by the server's account alone, and
  // gone once initdb has read it.
  const std::string password_file = server->root_ + "/password";
  {
    std::ofstream out(password_file);
    out << server->password_ << "\n";
  }
  fs::permissions(password_file, fs::perms::owner_read | fs::perms::owner_write,
                  fs::perm_options::replace);
  if (const passwd* entry = ServerAccount()) {
    if (chown(password_file.c_str(), entry->pw_uid, entry->pw_gid) != 0) {
      *why = "cannot hand the password file to the server's account";
      return nullptr;
    }
  }
  desktop::ProgramRun run =
      RunAsServer({server->bin_ + "/initdb", "-D", server->root_ + "/data", "-U", kUser,
                   "--pwfile=" + password_file, "--auth=scram-sha-256", "-E", "UTF8",
                   "--locale=C.UTF-8", "--no-sync"});
  fs::remove(password_file);
  if (!run.ok()) {
    *why = "initdb failed: " + run.output;
    return nullptr;
  }
  for (int attempt = 0; attempt < 3 && !server->started_; ++attempt) {
    server->port_ = FreePort();
    run = RunAsServer({server->bin_ + "/pg_ctl", "-D", server->root_ + "/data", "-l",
                       server->root_ + "/server.log", "-w", "-t", "30", "-o",
                       "-c listen_addresses=127.0.0.1 -p " + std::to_string(server->port_) +
                           " -k " + server->root_ + " -c fsync=off -c full_page_writes=off",
                       "start"});
    server->started_ = run.ok();
  }
  if (!server->started_) {
    *why = "the server did not start: " + run.output + FileText(server->root_ + "/server.log");
    return nullptr;
  }
  return server;
}

PostgresServer::~PostgresServer() {
  if (started_) {
    RunAsServer({bin_ + "/pg_ctl", "-D", root_ + "/data", "-m", "immediate", "-w", "stop"});
  }
  std::error_code ignored;
  if (!root_.empty()) fs::remove_all(root_, ignored);
}

std::string PostgresServer::DataSource() const { return "127.0.0.1," + std::to_string(port_); }

bool PostgresServer::Psql(const std::string& database, const std::string& sql,
                          std::string* output) const {
  // The socket's clients are asked for the password too: psql reads it
  // from a file of the account's own (PGPASSFILE), never from its command line.
  const std::string pass_file = root_ + "/pgpass";
  if (!fs::exists(pass_file)) {
    std::ofstream out(pass_file);
    out << "*:*:*:" << kUser << ":" << password_ << "\n";
    out.close();
    fs::permissions(pass_file, fs::perms::owner_read | fs::perms::owner_write);
  }
  desktop::ProgramRun run = desktop::RunProgram(
      {"env", "PGPASSFILE=" + pass_file, "psql", "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1",
       "-h", root_, "-p", std::to_string(port_), "-U", kUser, "-d", database, "-c", sql});
  if (output != nullptr) *output = run.output;
  return run.ok();
}

}  // namespace tellwen::testing
