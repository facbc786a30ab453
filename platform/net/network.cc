#include "platform/net/network.h"

namespace tellwen::net {

const char* NetStatusText(NetStatus status) {
  switch (status) {
    case NetStatus::kOk:
      return "ok";
    case NetStatus::kNoMoreItems:
      return "no more items";
    case NetStatus::kAccessDenied:
      return "access denied";
    case NetStatus::kNotFound:
      return "not found";
    case NetStatus::kUnreachable:
      return "unreachable";
    case NetStatus::kNotContainer:
      return "not a container";
    case NetStatus::kError:
      break;
  }
  return "error";
}

size_t EnumBufferBytes(const NetResource& resource) {
  // Four 32-bit words and four text pointers, then the texts themselves.
  constexpr size_t kFixedRecord = 4 * 4 + 4 * 8;
  return kFixedRecord + resource.local_name.size() + resource.remote_name.size() +
         resource.comment.size() + resource.provider.size() + 4;
}

}  // namespace tellwen::net
