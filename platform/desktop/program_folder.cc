#include "platform/desktop/program_folder.h"

#include <filesystem>
#include <system_error>

namespace tellwen::desktop {

std::string OwnFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || self.empty()) return "";
  std::string folder = self.parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace tellwen::desktop
