#include "setup/core/setup_tasks.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

#include "base/atomic_file.h"
#include "base/folder_path.h"
#include "platform/desktop/program_run.h"
#include "platform/isapi/web_config.h"
#include "setup/core/error_code_text.h"
#include "setup/core/web_files.h"
#include "setup/core/web_folders.h"

namespace tellwen::setup {
namespace fs = std::filesystem;
namespace {

// The first line a failed tool printed, to follow the designed text.
std::string ToolReason(const desktop::ProgramRun& run) {
  std::string line = run.output.substr(0, run.output.find('\n'));
  return line.empty() ? "" : " " + line;
}

int RunCode(const desktop::ProgramRun& run) {
  return run.spawn_error != 0 ? run.spawn_error : run.exit_code;
}

// Makes folder (created when missing) and, with recursive, everything in it
// group-owned by gid and group-writable; folders get the setgid bit so that
// what is created in them later belongs to the group too. Nothing is made
// world-writable. The first failure as "'" + path + "': " + reason.
std::string GiveToGroup(const std::string& folder, gid_t gid, bool recursive) {
  std::error_code error;
  fs::create_directories(folder, error);
  auto fix = [gid](const fs::path& path, bool is_folder) -> std::string {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || S_ISLNK(info.st_mode)) return "";
    if (::chown(path.c_str(), static_cast<uid_t>(-1), gid) != 0) {
      return "'" + path.string() + "': " + std::generic_category().message(errno);
    }
    mode_t mode = (info.st_mode & 07777 & ~S_IWOTH) | S_IRGRP | S_IWGRP;
    if (is_folder) mode |= S_IXGRP | S_ISGID;
    if (::chmod(path.c_str(), mode) != 0) {
      return "'" + path.string() + "': " + std::generic_category().message(errno);
    }
    return "";
  };
  std::string failure = fix(folder, true);
  if (!failure.empty() || !recursive) return failure;
  for (auto it = fs::recursive_directory_iterator(folder, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    failure = fix(it->path(), it->is_directory(error));
    if (!failure.empty()) return failure;
  }
  return error ? "'" + folder + "': " + error.message() : "";
}

}  // namespace

const char* TaskTitle(int task) {
  switch (task) {
    case 1:
      return "1. Install web server application:";
    case 2:
      return "2. Install web server data files:";
    case 3:
      return "3. Create Tellwen user:";
    case 4:
      return "4. Assign user to application:";
    case 5:
      return "5. Setting up the database:";
  }
  return "";
}

SetupValues ConfirmValues(Settings& settings, const std::string& root, const std::string& scripts,
                          const SqlConnectionSettings& database) {
  StoreConnectionSettings(settings, database);
  return SetupValues{WithFinalSlash(root), WithFinalSlash(scripts), database};
}

std::optional<DatabaseOfferTexts> DatabaseOffer(SetupDatabase& database,
                                                const SqlConnectionSettings& values) {
  std::string source, description;
  if (database.Test(values, &source, &description)) return std::nullopt;
  DatabaseOfferTexts texts;
  texts.upper = "Failed to connect to the database:\nSource: '" + source + "'\nDescription: '" +
                description + "'";
  texts.lower =
      "If you want to manually create a database please click 'No' after you created the "
      "database, otherwise, if you are unsure, please click 'Yes' to automatically create the "
      "database.";
  return texts;
}

namespace {

// Copies source over target through env: the copy is written beside target
// and renamed over it when whole, with source's permission bits. 0, or the
// errno of the failing call.
int CopyWhole(const std::string& source, const std::string& target, FileEnv* env) {
  struct stat st {};
  if (::stat(source.c_str(), &st) != 0) return errno;
  std::unique_ptr<ReadableFile> in;
  if (const int error = env->NewReadableFile(source, &in); error != 0) return error;
  AtomicWriteOptions options;
  options.mode = st.st_mode & 07777;
  options.env = env;
  AtomicFile out;
  if (const int error = out.Open(target, options); error != 0) return error;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    size_t read = 0;
    if (const int error = in->Read(buffer.data(), buffer.size(), &read); error != 0) return error;
    if (read == 0) break;
    const int error = out.file().Append(std::string_view(buffer.data(), read));
    if (error != 0) return error;
  }
  return out.Commit();
}

}  // namespace

std::string ReplaceFile(const std::string& source, const std::string& target, FileEnv* env) {
  const int error = CopyWhole(source, target, env != nullptr ? env : FileEnv::Default());
  if (error == 0) return "";
  std::string text = "Operation failed when trying to copy '";
  text += source;
  text += "' to '";
  text += target;
  text += "' ";
  text += ErrorCodeText(error);
  return text;
}

SetupTasks::SetupTasks(Settings& settings, SetupDatabase& database, ProgramStarter& starter,
                       SetupPaths paths, FileEnv* files)
    : settings_(settings),
      database_(database),
      starter_(starter),
      paths_(std::move(paths)),
      files_(files) {}

std::string SetupTasks::Run(int task, const SetupValues& values) {
  switch (task) {
    case 1:
      return InstallApplication(values);
    case 2:
      return InstallDataFiles(values);
    case 3:
      return CreateUser();
    case 4:
      return AssignUser(values);
    case 5:
      return SetUpDatabase();
  }
  return "Error: no such task";
}

std::string SetupTasks::InstallApplication(const SetupValues& values) {
  settings_.SetValue("IISRootFolder", values.root);
  settings_.SetValue("IISScriptsFolder", values.scripts);
  // A fresh server has no scripts folder yet; the web server's would exist.
  std::error_code error;
  fs::create_directories(values.scripts, error);
  if (!fs::is_directory(values.scripts)) {
    return "Unable to create directory '" + values.scripts + "'" + ErrorCodeText(error.value());
  }
  const std::string from = settings_.GetValue("KIVInstallPathExes") + kWebFilesFolder;
  for (const char* name : kScriptsFiles) {
    std::string failure = ReplaceFile(from + name, values.scripts + name, files_);
    if (!failure.empty()) return failure;
  }
  return "";
}

std::string SetupTasks::InstallDataFiles(const SetupValues& values) {
  const std::string folder = values.root + kSiteFolder;
  std::error_code error;
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder)) {
    return "Unable to create directory '" + values.root + "kiv'" + ErrorCodeText(error.value());
  }
  const std::string from = settings_.GetValue("KIVInstallPathExes") + kWebFilesFolder;
  for (const char* name : kSiteFiles) {
    std::string failure = ReplaceFile(from + name, folder + name, files_);
    if (!failure.empty()) return failure;
  }
  return "";
}

std::string SetupTasks::CreateUser() {
  if (::getgrnam(paths_.group.c_str()) == nullptr) {
    const desktop::ProgramRun run =
        desktop::RunProgram({paths_.groupadd, "--system", paths_.group});
    if (!run.ok()) {
      return "Error: Cannot connect to the '" + paths_.group + "' group" +
             ErrorCodeText(RunCode(run)) + ToolReason(run);
    }
  }
  // Afresh: the old account goes first (result ignored, as it may not exist).
  desktop::RunProgram({paths_.userdel, paths_.account});
  // A system account: no home, no login shell, no password (locked), its
  // one group the site's group; no administrator rights.
  // (useradd and usermod spell the home option differently.)
  const std::vector<std::string> shape = {
      "--gid", paths_.group, "--shell", "/usr/sbin/nologin", "--comment", "Tellwen Account"};
  std::vector<std::string> add = {paths_.useradd, "--system", "--no-create-home", "--home-dir",
                                  "/nonexistent"};
  add.insert(add.end(), shape.begin(), shape.end());
  add.push_back(paths_.account);
  const desktop::ProgramRun added = desktop::RunProgram(add);
  if (added.ok()) return "";
  // The account could not be deleted because a running kivweb uses it: it is
  // brought to the same shape instead (and loses any other group).
  if (::getpwnam(paths_.account.c_str()) != nullptr) {
    std::vector<std::string> modify = {paths_.usermod, "--lock",      "--groups", "",
                                       "--home",       "/nonexistent"};
    modify.insert(modify.end(), shape.begin(), shape.end());
    modify.push_back(paths_.account);
    const desktop::ProgramRun modified = desktop::RunProgram(modify);
    if (modified.ok()) return "";
    return "Error: Cannot create user" + ErrorCodeText(RunCode(modified)) + ToolReason(modified);
  }
  return "Error: Cannot create user" + ErrorCodeText(RunCode(added)) + ToolReason(added);
}

std::string SetupTasks::AssignUser(const SetupValues& values) {
  const std::string& path = paths_.web_config;
  isapi::WebConfig config;
  config.root = kDefaultWebRoot;
  config.scripts = kDefaultScriptsFolder;
  if (fs::exists(path)) {
    const Status loaded = isapi::LoadWebConfig(path, &config);
    if (!loaded.ok())
      return "Error: SetObjectAccess::ADsGetObject failed on " + path + ": " + loaded.message();
  }
  config.root = values.root;
  config.scripts = values.scripts;
  config.account = paths_.account;
  std::error_code error;
  fs::create_directories(fs::path(path).parent_path(), error);
  const Status saved = isapi::SaveWebConfig(path, config);
  if (!saved.ok())
    return "Error: SetObjectAccess::SetInfo failed on " + path + ": " + saved.message();
  if (!paths_.change_ownership) return "";

  const group* site_group = ::getgrnam(paths_.group.c_str());
  if (site_group == nullptr) {
    return "Error: Cannot connect to the '" + paths_.group + "' group" + ErrorCodeText(ENOENT);
  }
  const gid_t gid = site_group->gr_gid;
  // What the site writes: the chart cache in the scripts folder, the counter
  // in the settings hive, the log database next to the catalog.
  struct Target {
    std::string folder;
    bool recursive;
  };
  std::vector<Target> targets = {
      {values.scripts, false}, {paths_.registry_folder, true}, {paths_.data_folder, true}};
  // The report files, where their folders exist.
  for (const char* name : {"ReportFile", "ReportFileShort"}) {
    const std::string folder = fs::path(settings_.GetValue(name)).parent_path().string();
    if (!folder.empty() && fs::is_directory(folder)) targets.push_back({folder, false});
  }
  for (const Target& target : targets) {
    std::string failure = GiveToGroup(target.folder, gid, target.recursive);
    if (!failure.empty()) return "Error: Cannot give the site's rights on " + failure;
  }
  return "";
}

std::string SetupTasks::SetUpDatabase() {
  std::string source, description;
  if (!database_.Test(ReadConnectionSettings(settings_), &source, &description)) {
    return "Error: " + description;
  }
  const int code = starter_.Start("KIVIndexer", {"/setup"});
  if (code != 0) {
    char text[80];
    std::snprintf(text, sizeof text, "Error: Failed to set up the database.(Error: 0x%x).",
                  static_cast<unsigned>(code));
    return text;
  }
  return "";
}

}  // namespace tellwen::setup
