#include "setup/core/finish_options.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/user_messages.h"

namespace tellwen::setup {

std::string MonitorAutostartEntry(const std::string& install_folder) {
  std::string entry =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=KIVMonitor\n"
      "Comment=Tellwen ping monitor\n"
      "Exec=";
  entry += install_folder;
  entry += "KIVMonitor\n";
  entry += "Terminal=false\n";
  return entry;
}

void ApplyFinishOptions(const FinishOptions& options, Settings& settings, const SetupPaths& paths,
                        ProgramStarter& starter) {
  if (options.start_service) settings.SetValue("WebStatus", "yes");
  if (options.autoload_monitor) {
    std::error_code ignored;
    std::filesystem::create_directories(paths.autostart_folder, ignored);
    const std::string path = paths.autostart_folder + "KIVMonitor.desktop";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    int code = out ? 0 : errno;
    if (out) {
      out << MonitorAutostartEntry(settings.GetValue("KIVInstallPathExes"));
      out.close();
      if (!out) code = errno != 0 ? errno : EIO;
    }
    if (code != 0) {
      ShowMessage("Registry error: RegSetKeyEx returned " + std::to_string(code),
                  MessageIcon::kError);
    }
  }
  if (options.start_indexing) starter.Start("KIVIndexer", {"/index"});
  if (options.launch_monitor) starter.Start("KIVMonitor", {});
}

}  // namespace tellwen::setup
