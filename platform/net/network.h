// Network: the calls Tellwen makes on the file-sharing network, behind one
// interface so that the indexer runs against the real SMB network
// (platform/net/smb_network.h) or against a fake one in tests.
//
// Names are in the network's own notation: a computer is "\\" + name, a share
// "\\PC1\share", a folder "\\PC1\share\dir". The network itself has a root
// (no resource), one provider below it (level 0), workgroups below the
// provider (level 1) and computers below each workgroup (level 2); below a
// computer lie its shares.
//
// Every name that comes back from a Network is untrusted input: it may hold
// any bytes but NUL, including separators and control characters. Callers
// check names before building paths from them.
//
// Errors are returned as NetStatus values; nothing throws.
//
// Thread safety: a Network object is shared by every thread of a job; each
// method may be called from any thread at once. Enumerations and listings are
// used by the thread that opened them only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tellwen::net {

enum class NetStatus {
  kOk,
  kNoMoreItems,   // an enumeration or listing has no further entries
  kAccessDenied,  // the server refused the login (or the account may not read it)
  kNotFound,      // no such computer, share, folder or file
  kUnreachable,   // the computer does not answer or refuses the connection
  kNotContainer,  // the resource cannot be enumerated (a file, a printer)
  kError,         // anything else
};

const char* NetStatusText(NetStatus status);

// Resource usage bits.
inline constexpr uint32_t kUsageConnectable = 0x1;
inline constexpr uint32_t kUsageContainer = 0x2;

// Resource types.
inline constexpr uint32_t kTypeAny = 0;
inline constexpr uint32_t kTypeDisk = 1;
inline constexpr uint32_t kTypePrint = 2;

// Display types: what a resource is.
inline constexpr uint32_t kDisplayGeneric = 0;
inline constexpr uint32_t kDisplayDomain = 1;  // a workgroup
inline constexpr uint32_t kDisplayServer = 2;  // a computer
inline constexpr uint32_t kDisplayShare = 3;
inline constexpr uint32_t kDisplayNetwork = 6;  // the provider

// Scope of an enumeration: the whole network.
inline constexpr uint32_t kScopeGlobalNet = 2;

// An account a connection logs in with. The indexer offers the guest first
// and, where a computer refuses it, the scan account (a user of the file
// server or its domain, or with kerberos the ticket cache of the account
// running the job). The password lives in memory only.
struct NetAccount {
  std::string user;
  std::string password;
  std::string domain;     // "": the client's configured workgroup
  bool kerberos = false;  // try the ticket cache first, then user and password
};

// The SMB guest login: user "guest", empty password.
NetAccount GuestAccount();

// One resource of the network, copied whole (all texts owned).
struct NetResource {
  uint32_t scope = 0;
  uint32_t type = kTypeAny;
  uint32_t display_type = kDisplayGeneric;
  uint32_t usage = 0;
  std::string local_name;
  std::string remote_name;
  std::string comment;
  std::string provider;
};

// The bytes a resource takes in an enumeration buffer: the fixed record plus
// its four texts with their terminators.
size_t EnumBufferBytes(const NetResource& resource);

// File attribute bits.
inline constexpr uint32_t kAttributeReadOnly = 0x01;
inline constexpr uint32_t kAttributeHidden = 0x02;
inline constexpr uint32_t kAttributeSystem = 0x04;
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kAttributeArchive = 0x20;
inline constexpr uint32_t kAttributeNormal = 0x80;
// What GetFileAttributes reports for a path it cannot read.
inline constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFF;

struct FileAttributes {
  uint32_t attributes = kInvalidFileAttributes;
  uint64_t size = 0;  // bytes; 0 for folders
  // The server's number for the file or folder (an inode number): two paths
  // with the same nonzero id on one share are one folder reached twice, as
  // through a symbolic link. 0: the server gave none.
  uint64_t file_id = 0;
};

// One entry of a folder listing.
struct FindData {
  std::string name;
  FileAttributes attributes;
};

// An open enumeration of a resource (or of the network's root).
class ResourceEnumeration {
 public:
  virtual ~ResourceEnumeration() = default;
  // Replaces *entries with the next entries, as many as fit in buffer_bytes
  // (at least one when any is left). Returns kOk with entries, kNoMoreItems
  // when none is left, or an error.
  virtual NetStatus Next(size_t buffer_bytes, std::vector<NetResource>* entries) = 0;
};

// A ResourceEnumeration over resources known in advance: hands them out in
// order, as many per call as EnumBufferBytes lets fit in the buffer.
class ListedResources final : public ResourceEnumeration {
 public:
  explicit ListedResources(std::vector<NetResource> resources) : resources_(std::move(resources)) {}
  NetStatus Next(size_t buffer_bytes, std::vector<NetResource>* entries) override;

 private:
  std::vector<NetResource> resources_;
  size_t next_ = 0;
};

// An open listing of a folder, "." and ".." included when the server sends them.
class FolderListing {
 public:
  virtual ~FolderListing() = default;
  // Fills *entry with the next entry; kNoMoreItems at the end.
  virtual NetStatus Next(FindData* entry) = 0;
};

// An open file of a share, read from its start to its end.
class FileReader {
 public:
  virtual ~FileReader() = default;
  // The file's size when it was opened.
  virtual uint64_t size() const = 0;
  // Reads up to capacity bytes into buffer; *got 0 at the end of the file.
  virtual NetStatus Read(char* buffer, size_t capacity, size_t* got) = 0;
};

class Network {
 public:
  virtual ~Network() = default;

  // Makes a connection to resource.remote_name with the given account: the
  // calls of this thread that reach that computer log in with it until the
  // connection is cancelled or another account is added for it.
  virtual NetStatus AddConnection(const NetResource& resource, const NetAccount& account) = 0;
  // Drops the connection made to name (open files are closed when forced).
  virtual NetStatus CancelConnection(const std::string& name, bool force) = 0;

  // Opens an enumeration below container; null means the network's root.
  // On failure returns null and sets *status.
  virtual std::unique_ptr<ResourceEnumeration> OpenEnum(const NetResource* container,
                                                        NetStatus* status) = 0;

  // Appends the names of every share of computer ("\\" + name or the bare
  // name), hidden and special shares included, in the order the server gives.
  virtual NetStatus ShareList(const std::string& computer, std::vector<std::string>* names) = 0;

  // Opens a listing of folder ("\\PC1\share\dir"); null on failure.
  virtual std::unique_ptr<FolderListing> FindFirst(const std::string& folder,
                                                   NetStatus* status) = 0;

  // Attributes and size of path; on failure attributes are
  // kInvalidFileAttributes and the status says why.
  virtual NetStatus GetFileAttributes(const std::string& path, FileAttributes* attributes) = 0;

  // Opens the file at path ("\\PC1\share\dir\file") for reading; null on
  // failure with *status saying why. A network without file access answers
  // kError.
  virtual std::unique_ptr<FileReader> OpenFile(const std::string& path, NetStatus* status) {
    (void)path;
    *status = NetStatus::kError;
    return nullptr;
  }
};

}  // namespace tellwen::net
