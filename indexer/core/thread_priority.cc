#include "indexer/core/thread_priority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tellwen::indexer {

ScanPriority ScanPriorityFromStored(int stored) {
  switch (stored) {
    case 0:
      return ScanPriority::kIdle;
    case 1:
      return ScanPriority::kLowest;
    case 2:
      return ScanPriority::kBelowNormal;
    case 4:
      return ScanPriority::kAboveNormal;
    case 5:
      return ScanPriority::kHighest;
    case 6:
      return ScanPriority::kTimeCritical;
    default:
      return ScanPriority::kNormal;
  }
}

int NiceValueOf(ScanPriority priority) {
  switch (priority) {
    case ScanPriority::kIdle:
      return 19;
    case ScanPriority::kLowest:
      return 10;
    case ScanPriority::kBelowNormal:
      return 5;
    case ScanPriority::kNormal:
      return 0;
    case ScanPriority::kAboveNormal:
      return -5;
    case ScanPriority::kHighest:
      return -10;
    case ScanPriority::kTimeCritical:
      return -15;
  }
  return 0;
}

bool ApplyScanPriority(ScanPriority priority) {
  const pid_t thread_id = static_cast<pid_t>(syscall(SYS_gettid));
  bool ok = true;
  sched_param param{};
  param.sched_priority = 0;
  // The policy first: SCHED_IDLE for idle, back to the normal policy for the
  // others (a thread may inherit SCHED_IDLE from its creator).
  int policy = priority == ScanPriority::kIdle ? SCHED_IDLE : SCHED_OTHER;
  if (pthread_setschedparam(pthread_self(), policy, &param) != 0) ok = false;
  // On Linux the nice value belongs to the thread named by its id.
  if (setpriority(PRIO_PROCESS, static_cast<id_t>(thread_id), NiceValueOf(priority)) != 0) {
    ok = false;
  }
  return ok;
}

}  // namespace tellwen::indexer
