#include "platform/desktop/single_instance.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace tellwen::desktop {
namespace {

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstGoes) {
  testing::TempDir dir;
  auto first = std::make_unique<SingleInstance>("KIVIndexer", dir.path());
  ASSERT_EQ(first->TryAcquire(), InstanceResult::kAcquired);
  EXPECT_EQ(first->LockPath(), dir.path() + "/KIVIndexer.lock");
  SingleInstance second("KIVIndexer", dir.path());
  EXPECT_EQ(second.TryAcquire(), InstanceResult::kAlreadyRunning);
  // Another program has a lock of its own.
  SingleInstance other("KIVMonitor", dir.path());
  EXPECT_EQ(other.TryAcquire(), InstanceResult::kAcquired);
  first.reset();
  EXPECT_EQ(second.TryAcquire(), InstanceResult::kAcquired);
}

TEST(SingleInstance, LockFolderFollowsTheRuntimeFolder) {
  testing::TempDir dir;
  testing::ScopedEnv env("XDG_RUNTIME_DIR", dir.path());
  EXPECT_EQ(DefaultLockFolder(), dir.path());
  SingleInstance missing("KIVIndexer", dir.path() + "/no/such/folder");
  EXPECT_EQ(missing.TryAcquire(), InstanceResult::kError);
  EXPECT_FALSE(missing.ErrorText().empty());
}

}  // namespace
}  // namespace tellwen::desktop
