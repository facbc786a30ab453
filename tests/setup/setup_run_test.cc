#include "setup/core/setup_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace tellwen::setup {
namespace {

// Task 2 fails; every task is noted as it runs.
class FailingSecond : public TaskRunner {
 public:
  std::string Run(int task, const SetupValues&) override {
    ran.push_back(task);
    return task == 2 ? "Error: 0x5" : "";
  }
  std::vector<int> ran;
};

TEST(SetupRun, AFailedTaskNeitherStopsTheOthersNorPassesForSuccess) {
  FailingSecond tasks;
  SetupRun run(tasks);
  run.Start(SetupValues{});
  run.Wait();
  const SetupRun::Progress done = run.progress();
  EXPECT_TRUE(done.finished);
  EXPECT_TRUE(done.failed);
  EXPECT_EQ(done.running, 0);
  EXPECT_EQ(done.results[1], "");
  EXPECT_EQ(done.results[2], "Error: 0x5");
  EXPECT_EQ(done.results[5], "");

  std::vector<std::string> told;
  EXPECT_FALSE(run.RunHere(SetupValues{}, [&](int task, const std::string* error) {
    told.push_back(std::to_string(task) + (error == nullptr ? " start" : " end " + *error));
  }));
  EXPECT_THAT(tasks.ran, ::testing::ElementsAre(1, 2, 3, 4, 5, 1, 2, 3, 4, 5));
  EXPECT_EQ(told[2], "2 start");
  EXPECT_EQ(told[3], "2 end Error: 0x5");
  EXPECT_EQ(told.size(), 10u);
}

}  // namespace
}  // namespace tellwen::setup
