#include "platform/isapi/privilege_drop.h"

#include <grp.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tellwen::isapi {
namespace {

Status Refused(const std::string& step) {
  return Status::IoError(step + ": " + std::strerror(errno));
}

// Narrows the calling thread's permitted and effective capabilities to keep.
Status LimitThreadCapabilities(CapabilityMask keep) {
  __user_cap_header_struct header{};
  header.version = _LINUX_CAPABILITY_VERSION_3;
  header.pid = 0;  // the calling thread
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  data[0].permitted = data[0].effective = static_cast<std::uint32_t>(keep);
  data[1].permitted = data[1].effective = static_cast<std::uint32_t>(keep >> 32);
  if (syscall(SYS_capset, &header, data) != 0) return Refused("cannot set the capabilities");
  return Status::Ok();
}

}  // namespace

Status DropRootTo(const std::string& account, CapabilityMask keep) {
  const passwd* entry = getpwnam(account.c_str());
  if (entry == nullptr) return Status::InvalidArgument("account '" + account + "' does not exist");
  const uid_t uid = entry->pw_uid;
  const gid_t gid = entry->pw_gid;
  const std::string name = entry->pw_name;
  if (uid == 0) return Status::InvalidArgument("account '" + account + "' is root");
  if (initgroups(name.c_str(), gid) != 0)
    return Refused("cannot take the groups of '" + name + "'");
  if (setresgid(gid, gid, gid) != 0) return Refused("cannot take the group of '" + name + "'");
  // Without this flag, leaving uid 0 clears every capability.
  if (keep != 0 && prctl(PR_SET_KEEPCAPS, 1, 0, 0, 0) != 0) {
    return Refused("cannot keep capabilities");
  }
  if (setresuid(uid, uid, uid) != 0) return Refused("cannot become '" + name + "'");
  if (keep != 0 && prctl(PR_SET_KEEPCAPS, 0, 0, 0, 0) != 0) {
    return Refused("cannot keep capabilities");
  }
  // The permitted set kept is all of root's: narrowed to keep, which becomes
  // effective (setresuid emptied the effective set).
  Status limited = LimitThreadCapabilities(keep);
  if (!limited.ok()) return limited;
  uid_t real, effective, saved;
  if (getresuid(&real, &effective, &saved) != 0 || real == 0 || effective == 0 || saved == 0) {
    return Status::IoError("root rights remain after becoming '" + name + "'");
  }
  return Status::Ok();
}

}  // namespace tellwen::isapi
