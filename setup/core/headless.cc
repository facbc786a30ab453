#include "setup/core/headless.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>
#include <string_view>

#include "base/host_name.h"
#include "base/keyed_table.h"
#include "common/scan_account_settings.h"
#include "platform/isapi/web_config.h"
#include "platform/net/credentials_file.h"
#include "setup/core/setup_run.h"
#include "setup/core/web_folders.h"

namespace tellwen::setup {
namespace {

// Asks for a value on the terminal; an empty answer keeps current.
std::string Ask(std::ostream& out, std::istream* terminal, const std::string& label,
                const std::string& current, bool secret) {
  if (terminal == nullptr) return current;
  out << label << (secret || current.empty() ? "" : " [" + current + "]") << ": " << std::flush;
  std::string answer;
  if (!std::getline(*terminal, answer)) return current;
  return answer.empty() ? current : answer;
}

// Writes the scan account's credentials file; its folder, when missing, is
// made for root's eyes and the group's: no other account may even look in.
std::string WriteScanAccount(Settings& settings, const net::NetAccount& account) {
  const std::string file = ReadScanAccountSettings(settings).credentials_file;
  if (account.password.empty()) return "the scan account needs a password";
  const std::string folder = file.substr(0, file.rfind('/') + 1);
  if (!folder.empty() && ::mkdir(folder.c_str(), 0750) != 0 && errno != EEXIST) {
    return folder + " cannot be made: " + std::strerror(errno);
  }
  return net::WriteCredentialsFile(file, account);
}

int SitePort(const std::string& config_path) {
  isapi::WebConfig config;
  return isapi::LoadWebConfig(config_path, &config).ok() ? config.listen_port : 80;
}

}  // namespace

std::string HeadlessUsage() {
  return "Usage: KIVSetup --headless [options]\n"
         "       KIVSetup /uninstall\n"
         "Installs Tellwen's web site, web account and database without a window.\n"
         "Values not given are asked on the terminal, or else taken from the web\n"
         "server's configuration and the stored settings.\n"
         "  --root DIR            web root folder (the site goes into DIR/kiv/)\n"
         "  --scripts DIR         scripts folder (KIVQuery.so and the ping images)\n"
         "  --engine NAME         database engine: embedded (this machine's) or postgresql\n"
         "  --server NAME         database server (PostgreSQL: host or host,port)\n"
         "  --database NAME       database\n"
         "  --user NAME           database user\n"
         "  --password TEXT       database password (visible to other users' ps)\n"
         "  --password-file FILE  database password: the first line of FILE\n"
         "  --create-database     create the database when the connection test fails\n"
         "  --scan-user NAME      the account the index job offers computers that refuse\n"
         "                        the guest (written to the file ScanCredentialsFile names)\n"
         "  --scan-domain NAME    that account's domain or workgroup\n"
         "  --scan-password-file FILE  that account's password: the first line of FILE\n"
         "  --start-service       set WebStatus to \"yes\" (the site answers searches)\n"
         "  --autoload-monitor    run KIVMonitor at computer startup (autostart entry)\n"
         "  --start-indexing      start KIVIndexer /index afterwards\n"
         "  --launch-monitor      start KIVMonitor afterwards\n"
         "  --config FILE         kivweb's configuration (default /etc/tellwen/kivweb.conf)\n"
         "  --help                this text\n";
}

namespace {

// The options that take the next argument as their value.
constexpr KeyedValue<std::string_view, std::string HeadlessOptions::*> kValueOptions[] = {
    {"--root", &HeadlessOptions::root},           {"--scripts", &HeadlessOptions::scripts},
    {"--server", &HeadlessOptions::server},       {"--database", &HeadlessOptions::database},
    {"--user", &HeadlessOptions::user},           {"--password", &HeadlessOptions::password},
    {"--scan-user", &HeadlessOptions::scan_user}, {"--scan-domain", &HeadlessOptions::scan_domain}};
// The finish page's options, each turned on by its flag.
constexpr KeyedValue<std::string_view, bool FinishOptions::*> kFinishFlags[] = {
    {"--start-service", &FinishOptions::start_service},
    {"--autoload-monitor", &FinishOptions::autoload_monitor},
    {"--start-indexing", &FinishOptions::start_indexing},
    {"--launch-monitor", &FinishOptions::launch_monitor}};

}  // namespace

Status ParseHeadlessOptions(const std::vector<std::string>& args, HeadlessOptions* options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string* target) -> Status {
      if (i + 1 >= args.size()) return Status::InvalidArgument(arg + " needs a value");
      *target = args[++i];
      return Status::Ok();
    };
    Status status;
    if (std::string HeadlessOptions::*field = LookUp(kValueOptions, arg, nullptr)) {
      status = value(&(options->*field));
      if (field == &HeadlessOptions::password) options->password_given = true;
    } else if (bool FinishOptions::*flag = LookUp(kFinishFlags, arg, nullptr)) {
      options->finish.*flag = true;
    } else if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--password-file" || arg == "--scan-password-file") {
      const bool scan = arg == "--scan-password-file";
      std::string file;
      status = value(&file);
      if (status.ok()) {
        std::ifstream in(file);
        if (!in) return Status::NotFound("cannot read the password file " + file);
        std::getline(in, scan ? options->scan_password : options->password);
        (scan ? options->scan_password_given : options->password_given) = true;
      }
    } else if (arg == "--engine") {
      status = value(&options->engine);
      if (status.ok()) {
        options->engine = EngineNamed(options->engine);
        if (options->engine.empty()) return Status::InvalidArgument(kEngineChoiceError);
      }
    } else if (arg == "--config") {
      status = value(&options->paths.web_config);
    } else if (arg == "--create-database") {
      options->create_database = true;
    } else {
      return Status::InvalidArgument("unknown option " + arg);
    }
    if (!status.ok()) return status;
  }
  if ((!options->scan_domain.empty() || options->scan_password_given) &&
      options->scan_user.empty()) {
    return Status::InvalidArgument("--scan-domain and --scan-password-file need --scan-user");
  }
  return Status::Ok();
}

int RunHeadless(const HeadlessOptions& options, Settings& settings, SetupDatabase& database,
                ProgramStarter& starter, std::ostream& out, std::istream* terminal) {
  std::string root = options.root, scripts = options.scripts;
  if (root.empty() || scripts.empty()) {
    const WebFolders found = DetectWebFolders(options.paths.web_config);
    if (!found.warning.empty() && terminal == nullptr) out << found.warning << "\n";
    if (root.empty()) root = Ask(out, terminal, "Web root folder", found.root, false);
    if (scripts.empty()) scripts = Ask(out, terminal, "Scripts folder", found.scripts, false);
  }
  SqlConnectionSettings typed = ReadConnectionSettings(settings);
  auto take = [&](const std::string& given, std::string* target, const char* label, bool secret,
                  bool was_given) {
    if (was_given) {
      *target = given;
    } else {
      *target = Ask(out, terminal, label, *target, secret);
    }
  };
  if (!options.engine.empty()) {
    typed.engine = options.engine;
  } else if (terminal != nullptr) {
    // Asked until it names an engine; the stored one is the default.
    for (;;) {
      const std::string engine = EngineNamed(Ask(out, terminal, "Engine", typed.engine, false));
      if (!engine.empty()) {
        typed.engine = engine;
        break;
      }
      out << kEngineChoiceError << "\n";
      if (!*terminal) break;
    }
  }
  take(options.server, &typed.server, "Server", false, !options.server.empty());
  take(options.database, &typed.database, "Database", false, !options.database.empty());
  take(options.user, &typed.user, "User", false, !options.user.empty());
  take(options.password, &typed.password, "Password", true, options.password_given);

  std::string scan_password = options.scan_password;
  if (!options.scan_user.empty() && !options.scan_password_given) {
    scan_password = Ask(out, terminal, "Scan account password", "", true);
  }

  const SetupValues values = ConfirmValues(settings, root, scripts, typed);
  if (const auto offer = DatabaseOffer(database, typed)) {
    out << kCreateDatabaseTitle << "\n" << offer->upper << "\n\n" << offer->lower << "\n";
    bool create = options.create_database;
    if (!create && terminal != nullptr) {
      out << "Create the database? [y/N]: " << std::flush;
      std::string answer;
      create = std::getline(*terminal, answer) &&
               (answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes");
    }
    out << (create ? "Yes" : "No") << "\n";
    if (create) database.Create(typed);
  }

  SetupTasks tasks(settings, database, starter, options.paths);
  SetupRun run(tasks);
  bool failed = !run.RunHere(values, [&out](int task, const std::string* error) {
    if (error == nullptr) {
      out << TaskTitle(task) << " " << std::flush;
    } else {
      out << (error->empty() ? kTaskDone : *error) << "\n" << std::flush;
    }
  });
  if (!failed && !options.scan_user.empty()) {
    const std::string error = WriteScanAccount(
        settings, net::NetAccount{options.scan_user, scan_password, options.scan_domain, false});
    out << "Scan account " << options.scan_user << ": " << (error.empty() ? kTaskDone : error)
        << "\n";
    failed = !error.empty();
  }
  if (failed) {
    out << "Tellwen Setup has failed.\n";
    return 1;
  }
  out << "Tellwen Setup has successfully installed.\n"
      << "You can access Tellwen service entering the following\naddress in your web browser:\n"
      << SiteAddress(LocalHostName(), SitePort(options.paths.web_config)) << "\n";
  ApplyFinishOptions(options.finish, settings, options.paths, starter);
  return 0;
}

}  // namespace tellwen::setup
