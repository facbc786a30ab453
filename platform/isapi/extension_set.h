// The extension libraries of the scripts folder, loaded once at start.
//
// Load() takes the names from the folder's own listing: every regular file
// whose name ends in ".so" (and does not start with "."), opened by folder +
// "/" + that name. A request names a library only by looking it up here by its
// exact name, so no text from a request ever reaches dlopen. A library that
// cannot be opened, lacks GetExtensionVersion or HttpExtensionProc, or whose
// GetExtensionVersion returns false is unloaded again and remembered with the
// reason, so that requests for it can be told apart from unknown names.
//
// Thread safety: Load() and Unload() run on one thread while no request is
// served; Find() and Failure() only read and may be called from any thread
// in between.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/status.h"
#include "platform/isapi/httpext.h"

namespace tellwen::isapi {

struct Extension {
  std::string name;         // file name in the scripts folder
  std::string description;  // from GetExtensionVersion
  void* handle = nullptr;   // from dlopen
  HttpExtensionProcFn proc = nullptr;
  TerminateExtensionFn terminate = nullptr;  // may be null
};

class ExtensionSet {
 public:
  ExtensionSet() = default;
  ~ExtensionSet() { Unload(nullptr); }
  ExtensionSet(const ExtensionSet&) = delete;
  ExtensionSet& operator=(const ExtensionSet&) = delete;

  // Loads the libraries of folder; one line per library (loaded or not) is
  // appended to *log. An error when the folder cannot be read (a library
  // that fails to load is not an error here).
  Status Load(const std::string& folder, std::vector<std::string>* log);

  // The loaded library of that exact name, or null.
  const Extension* Find(const std::string& name) const;

  // Why the library of that exact name failed to load; empty when it did not
  // fail (loaded, or not in the folder).
  std::string Failure(const std::string& name) const;

  // TerminateExtension(kHseTermMustUnload) then dlclose for every loaded
  // library, in reverse load order. Lines go to *log when it is not null.
  void Unload(std::vector<std::string>* log);

  std::size_t size() const { return loaded_.size(); }

 private:
  std::vector<std::unique_ptr<Extension>> loaded_;           // sorted by name
  std::vector<std::pair<std::string, std::string>> failed_;  // name, reason
};

}  // namespace tellwen::isapi
