#include "tests/indexer/fake_network.h"

namespace tellwen::testing {

namespace {

class VectorListing : public net::FolderListing {
 public:
  explicit VectorListing(std::vector<net::FindData> entries) : entries_(std::move(entries)) {}
  net::NetStatus Next(net::FindData* entry) override {
    if (next_ >= entries_.size()) return net::NetStatus::kNoMoreItems;
    *entry = entries_[next_++];
    return net::NetStatus::kOk;
  }

 private:
  std::vector<net::FindData> entries_;
  size_t next_ = 0;
};

std::string Parent(const std::string& path) { return path.substr(0, path.rfind('\\')); }
std::string Leaf(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

}  // namespace

std::string FakeNetwork::Fold(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

std::string FakeNetwork::ComputerOf(const std::string& path) {
  size_t end = path.find('\\', 2);
  return path.substr(0, end);
}

void FakeNetwork::Log(const std::string& line) const {
  std::lock_guard<std::mutex> lock(log_mutex_);
  connection_log_.push_back(line);
}

void FakeNetwork::AddWorkgroup(const std::string& name, const std::vector<std::string>& computers) {
  std::vector<net::NetResource> entries;
  for (const std::string& computer : computers) {
    net::NetResource r;
    r.display_type = net::kDisplayServer;
    r.usage = net::kUsageContainer;
    r.remote_name = computer;
    entries.push_back(r);
  }
  workgroups_.emplace_back(name, entries);
}

void FakeNetwork::AddRawWorkgroupEntry(const std::string& workgroup,
                                       const net::NetResource& entry) {
  for (auto& [name, entries] : workgroups_) {
    if (name == workgroup) entries.push_back(entry);
  }
}

void FakeNetwork::AddShare(const std::string& share_path) {
  auto& shares = shares_[Fold(ComputerOf(share_path))];
  std::string share = Leaf(share_path);
  bool known = false;
  for (const std::string& s : shares) known = known || s == share;
  if (!known) shares.push_back(share);
  if (!nodes_[share_path].folder) nodes_[share_path].id = next_id_++;
  nodes_[share_path].folder = true;
}

void FakeNetwork::AddFolder(const std::string& path) {
  if (nodes_.count(path) != 0) return;
  std::string parent = Parent(path);
  if (parent.find('\\', 2) == std::string::npos) {
    AddShare(path);  // the path is a share
    return;
  }
  AddFolder(parent);
  nodes_[parent].children.push_back(Leaf(path));
  nodes_[path].folder = true;
  nodes_[path].id = next_id_++;
}

void FakeNetwork::AddFolderLink(const std::string& path, const std::string& target) {
  std::string parent = Parent(path);
  AddFolder(parent);
  nodes_[parent].children.push_back(Leaf(path));
  Node& node = nodes_[path];
  node.folder = true;
  node.link = target;
}

std::string FakeNetwork::Resolve(const std::string& path) const {
  // "\\PC\share" stays; each further component may be a link.
  size_t share_end = path.find('\\', path.find('\\', 2) + 1);
  if (path.find('\\', 2) == std::string::npos || share_end == std::string::npos) return path;
  std::string current = path.substr(0, share_end);
  size_t begin = share_end + 1;
  for (int hops = 0; begin <= path.size() && hops < 500; ++hops) {
    size_t end = path.find('\\', begin);
    current += "\\" + path.substr(begin, end - begin);
    auto it = nodes_.find(current);
    if (it != nodes_.end() && !it->second.link.empty()) current = it->second.link;
    if (end == std::string::npos) break;
    begin = end + 1;
  }
  return current;
}

uint64_t FakeNetwork::IdOf(const std::string& resolved) const {
  if (!give_ids_) return 0;
  auto it = nodes_.find(resolved);
  return it == nodes_.end() ? 0 : it->second.id;
}

void FakeNetwork::AddFile(const std::string& path, uint64_t size) {
  std::string parent = Parent(path);
  AddFolder(parent);
  nodes_[parent].children.push_back(Leaf(path));
  nodes_[path] = Node{false, size, {}, "", next_id_++};
}

std::vector<std::string> FakeNetwork::ConnectionLog() const {
  std::lock_guard<std::mutex> lock(log_mutex_);
  return connection_log_;
}

std::vector<std::string> FakeNetwork::ListedFolders() const {
  std::lock_guard<std::mutex> lock(log_mutex_);
  return listed_;
}

net::NetStatus FakeNetwork::AddConnection(const net::NetResource& resource,
                                          const net::NetAccount& account) {
  Log("add " + resource.remote_name + " " + account.user + "/" + account.password +
      (account.kerberos ? " kerberos" : ""));
  std::lock_guard<std::mutex> lock(log_mutex_);
  logins_[{std::this_thread::get_id(), Fold(resource.remote_name)}] = account;
  return net::NetStatus::kOk;
}

bool FakeNetwork::LoginRefused(const std::string& path) const {
  const std::string computer = Fold(ComputerOf(path));
  auto required = required_accounts_.find(computer);
  if (required == required_accounts_.end()) return false;
  std::lock_guard<std::mutex> lock(log_mutex_);
  auto login = logins_.find({std::this_thread::get_id(), computer});
  return login == logins_.end() || login->second.user != required->second.first ||
         login->second.password != required->second.second;
}

net::NetStatus FakeNetwork::CancelConnection(const std::string& name, bool force) {
  Log(std::string("cancel ") + name + (force ? " forced" : ""));
  {
    std::lock_guard<std::mutex> lock(log_mutex_);
    logins_.erase({std::this_thread::get_id(), Fold(name)});
  }
  return net::NetStatus::kOk;
}

std::unique_ptr<net::ResourceEnumeration> FakeNetwork::OpenEnum(const net::NetResource* container,
                                                                net::NetStatus* status) {
  *status = net::NetStatus::kOk;
  std::vector<net::NetResource> items;
  if (container == nullptr) {
    net::NetResource provider;
    provider.display_type = net::kDisplayNetwork;
    provider.usage = net::kUsageContainer;
    provider.remote_name = "Fake Network";
    items.push_back(provider);
  } else if (container->display_type == net::kDisplayNetwork) {
    for (const auto& [name, entries] : workgroups_) {
      net::NetResource r;
      r.display_type = net::kDisplayDomain;
      r.usage = net::kUsageContainer;
      r.remote_name = name;
      items.push_back(r);
    }
  } else if (container->display_type == net::kDisplayDomain) {
    if (refused_workgroups_.count(container->remote_name) != 0) {
      *status = net::NetStatus::kAccessDenied;
      return nullptr;
    }
    for (const auto& [name, entries] : workgroups_) {
      if (name == container->remote_name) items = entries;
    }
  } else {
    std::string computer = Fold(container->remote_name);
    auto it = shares_.find(computer);
    if (it == shares_.end() || refused_computers_.count(computer) != 0) {
      *status = net::NetStatus::kUnreachable;
      return nullptr;
    }
    if (LoginRefused(container->remote_name)) {
      *status = net::NetStatus::kAccessDenied;
      return nullptr;
    }
    for (const std::string& share : it->second) {
      net::NetResource r;
      r.display_type = net::kDisplayShare;
      r.remote_name = container->remote_name + "\\" + share;
      r.usage = container_shares_.count(r.remote_name) != 0 ? net::kUsageContainer
                                                            : net::kUsageConnectable;
      items.push_back(r);
    }
  }
  return std::make_unique<net::ListedResources>(std::move(items));
}

net::NetStatus FakeNetwork::ShareList(const std::string& computer,
                                      std::vector<std::string>* names) {
  auto it = shares_.find(Fold(computer));
  if (it == shares_.end()) return net::NetStatus::kUnreachable;
  if (LoginRefused(computer)) return net::NetStatus::kAccessDenied;
  names->insert(names->end(), it->second.begin(), it->second.end());
  return net::NetStatus::kOk;
}

std::unique_ptr<net::FolderListing> FakeNetwork::FindFirst(const std::string& folder,
                                                           net::NetStatus* status) {
  if (hook_) hook_(folder);
  {
    std::lock_guard<std::mutex> lock(log_mutex_);
    listed_.push_back(folder);
  }
  if (LoginRefused(folder) || refused_shares_.count(folder) != 0) {
    *status = net::NetStatus::kAccessDenied;
    return nullptr;
  }
  const std::string resolved = Resolve(folder);
  auto it = nodes_.find(resolved);
  if (it == nodes_.end() || !it->second.folder || failed_listings_.count(folder) != 0) {
    *status = net::NetStatus::kNotFound;
    return nullptr;
  }
  std::vector<net::FindData> entries;
  entries.push_back(net::FindData{".", {net::kAttributeDirectory, 0, IdOf(resolved)}});
  entries.push_back(net::FindData{"..", {net::kAttributeDirectory, 0, 0}});
  for (const std::string& child : it->second.children) {
    const std::string child_path = Resolve(resolved + "\\" + child);
    const Node& node = nodes_.at(child_path);
    entries.push_back(net::FindData{child,
                                    {node.folder ? net::kAttributeDirectory : net::kAttributeNormal,
                                     node.size, IdOf(child_path)}});
  }
  *status = net::NetStatus::kOk;
  return std::make_unique<VectorListing>(std::move(entries));
}

net::NetStatus FakeNetwork::GetFileAttributes(const std::string& path,
                                              net::FileAttributes* attributes) {
  *attributes = net::FileAttributes{};
  if (LoginRefused(path)) return net::NetStatus::kAccessDenied;
  const std::string resolved = Resolve(path);
  auto it = nodes_.find(resolved);
  if (it == nodes_.end() || failed_attributes_.count(path) != 0) return net::NetStatus::kNotFound;
  attributes->attributes = it->second.folder ? net::kAttributeDirectory : net::kAttributeNormal;
  attributes->size = it->second.folder ? 0 : it->second.size;
  attributes->file_id = IdOf(resolved);
  return net::NetStatus::kOk;
}

}  // namespace tellwen::testing
