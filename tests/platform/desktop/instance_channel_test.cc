#include "platform/desktop/instance_channel.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QWidget>
#include <thread>

#include "platform/desktop/single_instance.h"
#include "tests/common/recording_messages.h"
#include "tests/support/temp_dir.h"

namespace tellwen::desktop {
namespace {

TEST(ClaimInstance, SecondStartBeforeTheWindowSaysAlreadyRunning) {
  testing::TempDir dir;
  testing::ScopedRecordingMessages messages;
  SingleInstance first("KIVTestProgram", dir.path());
  InstanceChannel first_channel("KIVTestProgram");
  ASSERT_TRUE(ClaimInstance(first, first_channel, "Test already running!"));

  SingleInstance second("KIVTestProgram", dir.path());
  InstanceChannel second_channel("KIVTestProgram");
  EXPECT_FALSE(ClaimInstance(second, second_channel, "Test already running!"));
  EXPECT_EQ(messages->shown(), std::vector<std::string>{"Test already running!"});
}

TEST(ClaimInstance, SecondStartRaisesTheFirstWindowSilently) {
  testing::TempDir dir;
  testing::ScopedRecordingMessages messages;
  SingleInstance first("KIVTestRaise", dir.path());
  InstanceChannel first_channel("KIVTestRaise");
  ASSERT_TRUE(ClaimInstance(first, first_channel, "Test already running!"));
  QWidget window;
  window.showMinimized();
  ASSERT_TRUE(first_channel.Listen(&window));
  QSignalSpy raised(&first_channel, &InstanceChannel::raiseRequested);

  // The second start runs in a thread of its own, as another process would,
  // while this thread's event loop serves the first instance's socket.
  bool claimed = true;
  std::thread second_start([&] {
    SingleInstance second("KIVTestRaise", dir.path());
    InstanceChannel second_channel("KIVTestRaise");
    claimed = ClaimInstance(second, second_channel, "Test already running!");
  });
  EXPECT_TRUE(raised.wait(5000));
  second_start.join();
  EXPECT_FALSE(claimed);
  EXPECT_TRUE(messages->shown().empty());
  EXPECT_FALSE(window.isMinimized());
}

}  // namespace
}  // namespace tellwen::desktop
