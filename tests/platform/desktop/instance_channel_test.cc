#include "platform/desktop/instance_channel.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QWidget>
#include <string>
#include <thread>
#include <vector>

#include "platform/desktop/single_instance.h"
#include "tests/base/recording_messages.h"
#include "tests/support/temp_dir.h"

namespace tellwen::desktop {
namespace {

const char kAlreadyRunning[] = "Test already running!";

// The first start of program: its lock folder, its message sink, its lock
// and its channel.
struct FirstStart {
  explicit FirstStart(const std::string& program_name)
      : program(program_name), lock(program, dir.path()), channel(program) {}
  bool Claim() { return ClaimInstance(lock, channel, kAlreadyRunning); }
  // Whether a later start of the same program claims the instance too.
  bool SecondStartClaims() const {
    SingleInstance second(program, dir.path());
    InstanceChannel second_channel(program);
    return ClaimInstance(second, second_channel, kAlreadyRunning);
  }

  const std::string program;
  testing::TempDir dir;
  testing::ScopedRecordingMessages messages;
  SingleInstance lock;
  InstanceChannel channel;
};

TEST(ClaimInstance, SecondStartBeforeTheWindowSaysAlreadyRunning) {
  FirstStart first("KIVTestProgram");
  ASSERT_TRUE(first.Claim());
  EXPECT_FALSE(first.SecondStartClaims());
  EXPECT_EQ(first.messages->shown(), std::vector<std::string>{kAlreadyRunning});
}

TEST(ClaimInstance, SecondStartRaisesTheFirstWindowSilently) {
  FirstStart first("KIVTestRaise");
  ASSERT_TRUE(first.Claim());
  QWidget window;
  window.showMinimized();
  ASSERT_TRUE(first.channel.Listen(&window));
  QSignalSpy raised(&first.channel, &InstanceChannel::raiseRequested);

  // The second start runs in a thread of its own, as another process would,
  // while this thread's event loop serves the first instance's socket.
  bool claimed = true;
  std::thread second_start([&] { claimed = first.SecondStartClaims(); });
  EXPECT_TRUE(raised.wait(5000));
  second_start.join();
  EXPECT_FALSE(claimed);
  EXPECT_TRUE(first.messages->shown().empty());
  EXPECT_FALSE(window.isMinimized());
}

}  // namespace
}  // namespace tellwen::desktop
