#include "platform/isapi/web_config.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "base/atomic_file.h"
#include "base/int_text.h"
#include "base/text_trim.h"

namespace tellwen::isapi {
namespace {

// Configuration lines end in any white space, CR included.
std::string TrimLine(const std::string& text) { return Trim(text, " \t\r\n"); }

// A decimal number in [low, high], all digits.
bool ParseNumber(const std::string& text, long low, long high, long* value) {
  std::uint64_t number = 0;
  if (!ParseDigits(text, 9, &number)) return false;
  *value = static_cast<long>(number);
  return *value >= low && *value <= high;
}

}  // namespace

Status ParseListen(const std::string& text, std::string* address, int* port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) {
    return Status::InvalidArgument("listen address '" + text + "' is not of the form ADDR:PORT");
  }
  const std::string addr = text.substr(0, colon);
  in_addr parsed{};
  if (inet_pton(AF_INET, addr.c_str(), &parsed) != 1) {
    return Status::InvalidArgument("listen address '" + addr + "' is not an IPv4 address");
  }
  long number = 0;
  if (!ParseNumber(text.substr(colon + 1), 0, 65535, &number)) {
    return Status::InvalidArgument("listen port '" + text.substr(colon + 1) +
                                   "' is not a number from 0 to 65535");
  }
  *address = addr;
  *port = static_cast<int>(number);
  return Status::Ok();
}

Status ParseWebConfig(const std::string& text, const std::string& source, WebConfig* config) {
  std::istringstream lines(text);
  std::string line;
  std::set<std::string> seen;
  for (int number = 1; std::getline(lines, line); ++number) {
    const std::string where = source + ":" + std::to_string(number) + ": ";
    const std::string trimmed = TrimLine(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string::npos)
      return Status::InvalidArgument(where + "expected \"key = value\"");
    const std::string key = TrimLine(trimmed.substr(0, equals));
    const std::string value = TrimLine(trimmed.substr(equals + 1));
    if (!seen.insert(key).second)
      return Status::InvalidArgument(where + "'" + key + "' is set twice");
    if (key == "listen") {
      Status error = ParseListen(value, &config->listen_address, &config->listen_port);
      if (!error.ok()) return Status::InvalidArgument(where + error.message());
    } else if (key == "root" || key == "scripts") {
      if (value.empty() || value[0] != '/')
        return Status::InvalidArgument(where + key + " must be an absolute folder");
      (key == "root" ? config->root : config->scripts) = value;
    } else if (key == "account") {
      if (value.empty()) return Status::InvalidArgument(where + "account must not be empty");
      config->account = value;
    } else if (key == "threads") {
      long threads = 0;
      if (!ParseNumber(value, 1, 1024, &threads)) {
        return Status::InvalidArgument(where + "threads must be a number from 1 to 1024");
      }
      config->threads = static_cast<int>(threads);
    } else if (key == "WebFollowLinksOutsideRoot") {
      if (value != "0" && value != "1") {
        return Status::InvalidArgument(where + "WebFollowLinksOutsideRoot must be 0 or 1");
      }
      config->follow_links_outside_root = value == "1";
    } else {
      return Status::InvalidArgument(where + "unknown key '" + key + "'");
    }
  }
  return Status::Ok();
}

Status LoadWebConfig(const std::string& path, WebConfig* config) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return Status::IoError("cannot read configuration file '" + path +
                           "': " + std::strerror(errno));
  std::stringstream text;
  text << in.rdbuf();
  return ParseWebConfig(text.str(), path, config);
}

std::string FormatWebConfig(const WebConfig& config) {
  std::ostringstream out;
  out << "# kivweb configuration: key = value, one per line.\n"
      << "listen = " << config.listen_address << ":" << config.listen_port << "\n"
      << "root = " << config.root << "\n"
      << "scripts = " << config.scripts << "\n"
      << "account = " << config.account << "\n"
      << "threads = " << config.threads << "\n";
  if (config.follow_links_outside_root) out << "WebFollowLinksOutsideRoot = 1\n";
  return out.str();
}

Status SaveWebConfig(const std::string& path, const WebConfig& config) {
  if (const int error = WriteFileAtomically(path, FormatWebConfig(config)); error != 0) {
    return Status::IoError("cannot write configuration file '" + path +
                           "': " + std::strerror(error));
  }
  return Status::Ok();
}

Status ParseWebCommandLine(const std::vector<std::string>& args, WebCommandLine* line) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      line->help = true;
      continue;
    }
    std::string* target = nullptr;
    if (arg == "--config") target = &line->config_path;
    if (arg == "--listen") target = &line->listen;
    if (arg == "--root") target = &line->root;
    if (arg == "--scripts") target = &line->scripts;
    if (target == nullptr)
      return Status::InvalidArgument("unknown argument '" + arg + "' (see --help)");
    if (i + 1 >= args.size() || args[i + 1].empty())
      return Status::InvalidArgument(arg + " needs a value");
    *target = args[++i];
  }
  return Status::Ok();
}

Status ResolveWebConfig(const WebCommandLine& line, WebConfig* config) {
  *config = WebConfig();
  if (!line.config_path.empty()) {
    Status error = LoadWebConfig(line.config_path, config);
    if (!error.ok()) return error;
  } else if (access(kDefaultConfigPath, F_OK) == 0) {
    Status error = LoadWebConfig(kDefaultConfigPath, config);
    if (!error.ok()) return error;
  }
  if (!line.listen.empty()) {
    Status error = ParseListen(line.listen, &config->listen_address, &config->listen_port);
    if (!error.ok()) return Status::InvalidArgument("--listen: " + error.message());
  }
  if (!line.root.empty()) config->root = line.root;
  if (!line.scripts.empty()) config->scripts = line.scripts;
  return Status::Ok();
}

std::string WebUsage() {
  return "Usage: kivweb [--config FILE] [--listen ADDR:PORT] [--root DIR] [--scripts DIR]\n"
         "\n"
         "The Tellwen web server: serves the web root as static files and the\n"
         "extension libraries of the scripts folder under /scripts/NAME.so.\n"
         "Runs in the foreground, logs one line per request to stderr and stops\n"
         "on SIGTERM or SIGINT. Started as root, it binds its port, then runs as\n"
         "the configured account, keeping only the right to send pings (CAP_NET_RAW).\n"
         "\n"
         "  --config FILE      configuration file (default " +
         std::string(kDefaultConfigPath) +
         ", when it exists)\n"
         "  --listen ADDR:PORT listen on this IPv4 address and port (port 0: any free one)\n"
         "  --root DIR         web root folder\n"
         "  --scripts DIR      scripts folder\n"
         "  --help             this text\n"
         "\n"
         "Configuration file: one \"key = value\" per line, \"#\" starts a comment.\n"
         "Keys: listen, root, scripts, account, threads, WebFollowLinksOutsideRoot.\n";
}

}  // namespace tellwen::isapi
