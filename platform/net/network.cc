#include "platform/net/network.h"

#include "base/keyed_table.h"

namespace tellwen::net {

const char* NetStatusText(NetStatus status) {
  static constexpr KeyedValue<NetStatus, const char*> kTexts[] = {
      {NetStatus::kOk, "ok"},
      {NetStatus::kNoMoreItems, "no more items"},
      {NetStatus::kAccessDenied, "access denied"},
      {NetStatus::kNotFound, "not found"},
      {NetStatus::kUnreachable, "unreachable"},
      {NetStatus::kNotContainer, "not a container"}};
  return LookUp(kTexts, status, "error");
}

NetAccount GuestAccount() { return NetAccount{"guest", "", "", false}; }

size_t EnumBufferBytes(const NetResource& resource) {
  // Four 32-bit words and four text pointers, then the texts themselves.
  constexpr size_t kFixedRecord = 4 * 4 + 4 * 8;
  return kFixedRecord + resource.local_name.size() + resource.remote_name.size() +
         resource.comment.size() + resource.provider.size() + 4;
}

NetStatus ListedResources::Next(size_t buffer_bytes, std::vector<NetResource>* entries) {
  entries->clear();
  size_t used = 0;
  while (next_ < resources_.size()) {
    const size_t bytes = EnumBufferBytes(resources_[next_]);
    if (!entries->empty() && used + bytes > buffer_bytes) break;
    used += bytes;
    entries->push_back(resources_[next_++]);
  }
  return entries->empty() ? NetStatus::kNoMoreItems : NetStatus::kOk;
}

}  // namespace tellwen::net
