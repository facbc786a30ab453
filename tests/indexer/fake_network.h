// Test support for the index job: a network held in memory (workgroups,
// computers, shares, folders, files) that fails on cue, and a settings store
// held in a map.
//
// FakeNetwork paths are "\\PC\share\dir\file"; computer names compare
// ignoring case, paths exactly. Faults: a computer that refuses its
// enumeration, a workgroup that refuses its own, folders that cannot be
// listed, paths whose attributes cannot be read. A hook runs before every
// folder listing so that a test can hold one computer back or request a stop
// mid-walk.
//
// Thread safety: building the network happens before the job starts; the
// Network calls and the call log are safe from any thread.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/net/network.h"
#include "tests/support/fake_settings.h"

namespace tellwen::testing {

class FakeNetwork : public net::Network {
 public:
  // Discovery side: a workgroup and the computers it lists ("\\" + name).
  void AddWorkgroup(const std::string& name, const std::vector<std::string>& computers);
  // Extra entries the enumeration of a workgroup returns as they are (names
  // from a hostile server, entries that are no containers).
  void AddRawWorkgroupEntry(const std::string& workgroup, const net::NetResource& entry);
  void RefuseWorkgroupEnum(const std::string& name) { refused_workgroups_.insert(name); }

  // Scan side. A computer exists once it has a share; shares keep the order
  // of their first mention.
  void AddShare(const std::string& share_path);  // "\\PC\share"
  void AddFolder(const std::string& path);       // creates the parents
  void AddFile(const std::string& path, uint64_t size);
  // A folder entry at path that leads to the folder target, as a symbolic
  // link on the server does: listings and attributes below path are those of
  // target, and the entry carries target's file id.
  void AddFolderLink(const std::string& path, const std::string& target);
  // Gives every folder and file a file id from now on (the default: 0, none).
  void GiveFileIds() { give_ids_ = true; }
  void RefuseComputerEnum(const std::string& computer) {
    refused_computers_.insert(Fold(computer));
  }
  void FailListing(const std::string& folder) { failed_listings_.insert(folder); }
  // The computer refuses every login but user with password (answering
  // kAccessDenied to its enumeration, share list, listings and attributes).
  void RequireAccount(const std::string& computer, const std::string& user,
                      const std::string& password) {
    required_accounts_[Fold(computer)] = {user, password};
  }
  // The share refuses every login.
  void RefuseShare(const std::string& share_path) { refused_shares_.insert(share_path); }
  void FailAttributes(const std::string& path) { failed_attributes_.insert(path); }
  // Marks share k of the computer's enumeration batch as a container.
  void MarkShareAsContainer(const std::string& share_path) { container_shares_.insert(share_path); }

  // Runs before every FindFirst (on the calling worker's thread).
  void SetListingHook(std::function<void(const std::string& folder)> hook) { hook_ = hook; }

  // Log of AddConnection / CancelConnection calls ("add \\PC", "cancel \\PC").
  std::vector<std::string> ConnectionLog() const;
  // Folders listed so far.
  std::vector<std::string> ListedFolders() const;

  net::NetStatus AddConnection(const net::NetResource& resource,
                               const net::NetAccount& account) override;
  net::NetStatus CancelConnection(const std::string& name, bool force) override;
  std::unique_ptr<net::ResourceEnumeration> OpenEnum(const net::NetResource* container,
                                                     net::NetStatus* status) override;
  net::NetStatus ShareList(const std::string& computer, std::vector<std::string>* names) override;
  std::unique_ptr<net::FolderListing> FindFirst(const std::string& folder,
                                                net::NetStatus* status) override;
  net::NetStatus GetFileAttributes(const std::string& path,
                                   net::FileAttributes* attributes) override;

 private:
  struct Node {
    bool folder = false;
    uint64_t size = 0;
    std::vector<std::string> children;  // names, in listing order
    std::string link;                   // target folder of a folder link
    uint64_t id = 0;
  };
  // path with every folder link on it followed (at most a few hundred).
  std::string Resolve(const std::string& path) const;
  uint64_t IdOf(const std::string& resolved) const;
  static std::string Fold(const std::string& name);
  static std::string ComputerOf(const std::string& path);
  void Log(const std::string& line) const;
  // Whether the calling thread's login to the computer of path is refused.
  bool LoginRefused(const std::string& path) const;

  std::vector<std::pair<std::string, std::vector<net::NetResource>>> workgroups_;
  std::set<std::string> refused_workgroups_;
  std::map<std::string, std::vector<std::string>> shares_;  // folded computer -> shares
  std::map<std::string, Node> nodes_;                       // path -> node
  std::set<std::string> refused_computers_;
  std::set<std::string> failed_listings_;
  std::set<std::string> failed_attributes_;
  std::set<std::string> container_shares_;
  std::map<std::string, std::pair<std::string, std::string>> required_accounts_;
  std::set<std::string> refused_shares_;
  // The account each thread added for each (folded) computer.
  mutable std::map<std::pair<std::thread::id, std::string>, net::NetAccount> logins_;
  std::function<void(const std::string&)> hook_;
  bool give_ids_ = false;
  uint64_t next_id_ = 1;
  mutable std::mutex log_mutex_;
  mutable std::vector<std::string> connection_log_;
  mutable std::vector<std::string> listed_;
};

}  // namespace tellwen::testing
