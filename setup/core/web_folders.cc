#include "setup/core/web_folders.h"

#include <cctype>
#include <cerrno>
#include <fstream>
#include <sstream>

#include "base/folder_path.h"
#include "platform/isapi/web_config.h"
#include "setup/core/error_code_text.h"
#include "setup/core/setup_paths.h"

namespace tellwen::setup {
namespace {

std::string Warning(const char* what, const std::string& reason, const char* fallback) {
  std::string text = "Setup was unable to detect your IIS ";
  text += what;
  text += " directory.\n";
  text += reason;
  text += "\nUsing default \"";
  text += fallback;
  text += "\".";
  return text;
}

}  // namespace

std::string SiteAddress(const std::string& host, int port) {
  std::string address = "http://";
  for (char c : host) address += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (port != 80) {
    address += ":";
    address += std::to_string(port);
  }
  address += "/kiv/default.htm";
  return address;
}

WebFolders DetectWebFolders(const std::string& config_path) {
  WebFolders folders;
  folders.account = SetupPaths().account;
  std::string root_error, scripts_error;
  std::ifstream in(config_path, std::ios::binary);
  if (!in) {
    const int code = errno;
    root_error = "GetWWWRootPath::ADsGetObject failed" + ErrorCodeText(code);
    scripts_error = "GetScriptsPath::ADsGetObject failed" + ErrorCodeText(code);
  } else {
    std::ostringstream text;
    text << in.rdbuf();
    isapi::WebConfig config;
    config.root.clear();
    config.scripts.clear();
    const Status parsed = isapi::ParseWebConfig(text.str(), config_path, &config);
    if (!parsed.ok()) {
      root_error = "GetWWWRootPath: Invalid object. " + parsed.message();
      scripts_error = "GetScriptsPath: Invalid object. " + parsed.message();
    } else {
      if (config.root.empty()) root_error = "GetWWWRootPath: Invalid object.";
      if (config.scripts.empty()) scripts_error = "GetScriptsPath: Invalid object.";
      folders.root = WithFinalSlash(config.root);
      folders.scripts = WithFinalSlash(config.scripts);
      folders.account = config.account;
    }
  }
  if (!root_error.empty()) {
    folders.root = kDefaultWebRoot;
    folders.warning = Warning("web root", root_error, kDefaultWebRoot);
  }
  if (!scripts_error.empty()) {
    folders.scripts = kDefaultScriptsFolder;
    if (!folders.warning.empty()) folders.warning += "\n";
    folders.warning += Warning("scripts", scripts_error, kDefaultScriptsFolder);
  }
  return folders;
}

}  // namespace tellwen::setup
