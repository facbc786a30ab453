#include "indexer/core/thread_priority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tellwen::indexer {

namespace {

// Each priority with the number that stands for it in the settings and the
// nice value it runs at.
struct PriorityRow {
  int stored;
  ScanPriority priority;
  int nice;
};

constexpr PriorityRow kPriorities[] = {
    {0, ScanPriority::kIdle, 19},         {1, ScanPriority::kLowest, 10},
    {2, ScanPriority::kBelowNormal, 5},   {3, ScanPriority::kNormal, 0},
    {4, ScanPriority::kAboveNormal, -5},  {5, ScanPriority::kHighest, -10},
    {6, ScanPriority::kTimeCritical, -15}};

}  // namespace

ScanPriority ScanPriorityFromStored(int stored) {
  for (const PriorityRow& row : kPriorities) {
    if (row.stored == stored) return row.priority;
  }
  return ScanPriority::kNormal;
}

int NiceValueOf(ScanPriority priority) {
  for (const PriorityRow& row : kPriorities) {
    if (row.priority == priority) return row.nice;
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
