#include "indexer/core/search_source_network.h"

#include <algorithm>

#include "platform/net/host_address.h"
#include "platform/net/ws_discovery_messages.h"

namespace tellwen::indexer {
namespace {

// How long the look-up of one found name may take.
constexpr int kNameLookUpMs = 1000;

}  // namespace

bool NameResolvesToIPv4(const std::string& name) {
  uint32_t address = 0;
  return net::ResolveIPv4(name, &address, kNameLookUpMs);
}

SearchSourceNetwork::SearchSourceNetwork(std::string source_name, Search search,
                                         NameResolves name_resolves)
    : source_name_(std::move(source_name)),
      search_(std::move(search)),
      name_resolves_(std::move(name_resolves)) {}

net::NetStatus SearchSourceNetwork::AddConnection(const net::NetResource&, const net::NetAccount&) {
  return net::NetStatus::kOk;
}

net::NetStatus SearchSourceNetwork::CancelConnection(const std::string&, bool) {
  return net::NetStatus::kOk;
}

void SearchSourceNetwork::RunSearchOnce() {
  if (searched_) return;
  searched_ = true;
  for (const net::FoundComputer& found : search_()) {
    std::string name;
    const bool usable = !found.name.empty() && net::IsUsableComputerName(found.name);
    if (usable && name_resolves_ && name_resolves_(found.name)) {
      name = found.name;
    } else if (found.address != 0) {
      name = net::AddressText(found.address);
    } else {
      continue;
    }
    std::string workgroup = found.workgroup;
    if (workgroup.empty() || !net::IsUsableComputerName(workgroup)) workgroup = kNoWorkgroupName;
    Computer computer;
    computer.workgroup = workgroup;
    computer.resource.scope = net::kScopeGlobalNet;
    computer.resource.display_type = net::kDisplayServer;
    computer.resource.usage = net::kUsageContainer;
    computer.resource.remote_name = "\\\\" + name;
    computer.resource.provider = source_name_;
    computer.resource.comment = "workgroup " + workgroup + ", address ";
    computer.resource.comment += net::AddressText(found.address);
    if (usable && name != found.name) {
      computer.resource.comment += ", name ";
      computer.resource.comment += found.name;
      computer.resource.comment += " does not resolve";
    }
    computers_.push_back(std::move(computer));
    if (std::find(workgroups_.begin(), workgroups_.end(), workgroup) == workgroups_.end()) {
      workgroups_.push_back(workgroup);
    }
  }
}

std::unique_ptr<net::ResourceEnumeration> SearchSourceNetwork::OpenEnum(
    const net::NetResource* container, net::NetStatus* status) {
  std::vector<net::NetResource> entries;
  // A container of this source's tree: the provider or a workgroup.
  auto add_container = [&](uint32_t display_type, const std::string& name) {
    net::NetResource resource;
    resource.scope = net::kScopeGlobalNet;
    resource.display_type = display_type;
    resource.usage = net::kUsageContainer;
    resource.remote_name = name;
    resource.provider = source_name_;
    entries.push_back(resource);
  };
  if (container == nullptr) {
    add_container(net::kDisplayNetwork, source_name_);
  } else if (container->display_type == net::kDisplayNetwork) {
    RunSearchOnce();
    for (const std::string& workgroup : workgroups_) add_container(net::kDisplayDomain, workgroup);
  } else if (container->display_type == net::kDisplayDomain) {
    for (const Computer& computer : computers_) {
      if (computer.workgroup == container->remote_name) entries.push_back(computer.resource);
    }
  } else {
    *status = net::NetStatus::kNotContainer;
    return nullptr;
  }
  *status = net::NetStatus::kOk;
  return std::make_unique<net::ListedResources>(std::move(entries));
}

net::NetStatus SearchSourceNetwork::ShareList(const std::string&, std::vector<std::string>*) {
  return net::NetStatus::kError;
}

std::unique_ptr<net::FolderListing> SearchSourceNetwork::FindFirst(const std::string&,
                                                                   net::NetStatus* status) {
  *status = net::NetStatus::kError;
  return nullptr;
}

net::NetStatus SearchSourceNetwork::GetFileAttributes(const std::string&,
                                                      net::FileAttributes* attributes) {
  attributes->attributes = net::kInvalidFileAttributes;
  return net::NetStatus::kError;
}

}  // namespace tellwen::indexer
