#include "platform/isapi/extension_set.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tellwen::isapi {
namespace {

bool IsLibraryName(const std::string& name) {
  return name.size() > 3 && name[0] != '.' && name.compare(name.size() - 3, 3, ".so") == 0;
}

}  // namespace

Status ExtensionSet::Load(const std::string& folder, std::vector<std::string>* log) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    return Status::IoError("cannot read scripts folder '" + folder + "': " + std::strerror(errno));
  }
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (!IsLibraryName(name)) continue;
    struct stat info {};
    if (stat((folder + "/" + name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());

  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    auto fail = [&](const std::string& reason) {
      failed_.emplace_back(name, reason);
      log->push_back("extension " + name + " not loaded: " + reason);
    };
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* error = dlerror();
      fail(error ? error : "dlopen failed");
      continue;
    }
    auto version = reinterpret_cast<GetExtensionVersionFn>(dlsym(handle, "GetExtensionVersion"));
    auto proc = reinterpret_cast<HttpExtensionProcFn>(dlsym(handle, "HttpExtensionProc"));
    auto terminate = reinterpret_cast<TerminateExtensionFn>(dlsym(handle, "TerminateExtension"));
    if (version == nullptr || proc == nullptr) {
      dlclose(handle);
      fail("it does not export GetExtensionVersion and HttpExtensionProc");
      continue;
    }
    HseVersionInfo info{};
    if (!version(&info)) {
      dlclose(handle);
      fail("GetExtensionVersion returned false");
      continue;
    }
    info.lpszExtensionDesc[kHseMaxExtDllNameLen - 1] = '\0';
    auto extension = std::make_unique<Extension>();
    extension->name = name;
    extension->description = info.lpszExtensionDesc;
    extension->handle = handle;
    extension->proc = proc;
    extension->terminate = terminate;
    log->push_back("extension " + name + " loaded: " + extension->description);
    loaded_.push_back(std::move(extension));
  }
  return Status::Ok();
}

const Extension* ExtensionSet::Find(const std::string& name) const {
  auto it = std::lower_bound(loaded_.begin(), loaded_.end(), name,
                             [](const auto& e, const std::string& n) { return e->name < n; });
  return it != loaded_.end() && (*it)->name == name ? it->get() : nullptr;
}

std::string ExtensionSet::Failure(const std::string& name) const {
  for (const auto& [failed_name, reason] : failed_) {
    if (failed_name == name) return reason;
  }
  return "";
}

void ExtensionSet::Unload(std::vector<std::string>* log) {
  for (auto it = loaded_.rbegin(); it != loaded_.rend(); ++it) {
    Extension& extension = **it;
    if (extension.terminate != nullptr) extension.terminate(kHseTermMustUnload);
#if !defined(__SANITIZE_ADDRESS__)
    dlclose(extension.handle);
#else
    // Kept mapped under AddressSanitizer: its leak check runs at exit, and
    // the memory an unloaded library still refers to would read as leaked,
    // with frames that can no longer be named.
    (void)extension.handle;
#endif
    if (log != nullptr) log->push_back("extension " + extension.name + " unloaded");
  }
  loaded_.clear();
  failed_.clear();
}

}  // namespace tellwen::isapi
