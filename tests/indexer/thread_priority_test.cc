#include "indexer/core/thread_priority.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

namespace tellwen::indexer {
namespace {

TEST(ThreadPriority, StoredValuesMapToPriorities) {
  EXPECT_EQ(ScanPriorityFromStored(0), ScanPriority::kIdle);
  EXPECT_EQ(ScanPriorityFromStored(1), ScanPriority::kLowest);
  EXPECT_EQ(ScanPriorityFromStored(3), ScanPriority::kNormal);
  EXPECT_EQ(ScanPriorityFromStored(6), ScanPriority::kTimeCritical);
  EXPECT_EQ(ScanPriorityFromStored(7), ScanPriority::kNormal);
  EXPECT_EQ(ScanPriorityFromStored(-1), ScanPriority::kNormal);
  EXPECT_LT(NiceValueOf(ScanPriority::kTimeCritical), NiceValueOf(ScanPriority::kNormal));
  EXPECT_GT(NiceValueOf(ScanPriority::kLowest), NiceValueOf(ScanPriority::kBelowNormal));
}

TEST(ThreadPriority, IdleUsesSchedIdleAndLowestANiceValueOnTheCallingThreadOnly) {
  const pid_t main_id = static_cast<pid_t>(syscall(SYS_gettid));
  errno = 0;
  const int main_nice = getpriority(PRIO_PROCESS, main_id);
  std::thread([] {
    EXPECT_TRUE(ApplyScanPriority(ScanPriority::kIdle));
    int policy = -1;
    sched_param param{};
    pthread_getschedparam(pthread_self(), &policy, &param);
    EXPECT_EQ(policy, SCHED_IDLE);
  }).join();
  std::thread([] {
    // Lowering is always allowed.
    EXPECT_TRUE(ApplyScanPriority(ScanPriority::kLowest));
    const pid_t id = static_cast<pid_t>(syscall(SYS_gettid));
    EXPECT_EQ(getpriority(PRIO_PROCESS, id), 10);
    int policy = -1;
    sched_param param{};
    pthread_getschedparam(pthread_self(), &policy, &param);
    EXPECT_EQ(policy, SCHED_OTHER);
  }).join();
  EXPECT_EQ(getpriority(PRIO_PROCESS, main_id), main_nice);
}

}  // namespace
}  // namespace tellwen::indexer
