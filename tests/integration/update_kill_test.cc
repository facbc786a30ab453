// KIVIndexer /updatedb, run as a program on a small catalog and killed
// (SIGKILL) at every task: it is paused there by its debug switch
// (TELLWEN_UPDATE_PAUSE_BEFORE_TASK), then killed. After each kill the site
// works at once (spSearch and spDir on a whole catalog, the old one or the
// new one), the next start of KIVIndexer puts WebStatus and the busy banner
// back without updating, and the next update finishes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/sql/catalog_fixture.h"
#include "tests/support/file_text.h"

extern char** environ;

namespace tellwen::testing {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTasks = 30;  // the update script's tasks, hidden ones included
constexpr int kSwapCommitTask = 28;

class UpdateKill : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    std::filesystem::create_directories(dir_.path() + "/run");
    Set("AutomaticallyInsertIntoDatabase", "1");
    Set("StopWebService", "1");
    Set("WebStatus", "yes");
    Set("FirstPageInfo", "Welcome");
    Set("FirstPageInfoSeverity", "low");
    Set("CategoriesEdit", "0|Text/*.txt");
  }
  void TearDown() override {
    if (running_ > 0) {
      kill(running_, SIGKILL);
      waitpid(running_, nullptr, 0);
    }
  }

  // Starts KIVIndexer with `argument`, its output in <dir>/indexer.out.
  pid_t Start(const std::string& argument, int pause_before_task) {
    ScopedEnv pause("TELLWEN_UPDATE_PAUSE_BEFORE_TASK", std::to_string(pause_before_task));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, Output().c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::string program = KIVINDEXER_PATH;
    std::string arg = argument;
    char* argv[] = {program.data(), arg.data(), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0) << std::strerror(rc);
    running_ = rc == 0 ? pid : -1;
    return running_;
  }
  std::string Output() const { return dir_.path() + "/indexer.out"; }
  std::string ReadOutput() const { return FileText(Output()); }
  // Waits until the output holds `text`; false after `within`.
  bool WaitForOutput(const std::string& text, std::chrono::milliseconds within) {
    const auto deadline = Clock::now() + within;
    while (ReadOutput().find(text) == std::string::npos) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }
  // The exit status of the started program (-1 when it did not end in time).
  int Wait(std::chrono::milliseconds within) {
    const auto deadline = Clock::now() + within;
    for (;;) {
      int status = 0;
      if (waitpid(running_, &status, WNOHANG) == running_) {
        running_ = -1;
        return status;
      }
      if (Clock::now() > deadline) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  // Runs KIVIndexer to its end; its exit code.
  int RunToEnd(const std::string& argument) {
    Start(argument, 0);
    const int status = Wait(std::chrono::seconds(60));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  void WriteFiles(int files) {
    std::vector<Entry> entries;
    for (int i = 0; i < files; ++i)
      entries.push_back({"//PC1", "s", "", "d", "f" + std::to_string(i) + ".txt", i});
    WriteIndex(entries);
  }

  ScopedEnv runtime_{"XDG_RUNTIME_DIR", dir_.path() + "/run"};  // the one-instance lock
  // Headless runs, on a desktop too (empty means no display).
  ScopedEnv no_x11_{"DISPLAY", ""};
  ScopedEnv no_wayland_{"WAYLAND_DISPLAY", ""};
  ScopedEnv no_qt_platform_{"QT_QPA_PLATFORM", ""};
  pid_t running_ = -1;
};

TEST_F(UpdateKill, KilledAtEveryTaskLeavesAWorkingSiteAndIsRecognisedAtTheNextStart) {
  WriteFiles(1);
  ASSERT_EQ(RunToEnd("/updatedb"), 0) << ReadOutput();
  int previous_files = 1;
  // Task kTasks + 1: after the last task, before the job puts its values back.
  for (int task = 1; task <= kTasks + 1; ++task) {
    SCOPED_TRACE("killed before task " + std::to_string(task));
    const int files = task + 1;
    WriteFiles(files);
    Start("/updatedb", task);
    ASSERT_TRUE(WaitForOutput("update paused before task " + std::to_string(task) + ":",
                              std::chrono::seconds(20)))
        << ReadOutput();
    kill(running_, SIGKILL);
    const int status = Wait(std::chrono::seconds(10));
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;

    // The site works at once on one whole catalog: the new one once the
    // swap's transaction has committed (task 28, "DONT-commit switch"),
    // before that the old one.
    const int expected = task > kSwapCommitTask ? files : previous_files;
    EXPECT_EQ(One("select count(*) from aall where fn <> ''"), std::to_string(expected));
    EXPECT_EQ(One("select value from stat where property = 'files number:'"),
              std::to_string(expected));
    ExpectSearchAndBrowseWork(expected);

    // The next start of KIVIndexer, whatever it does (here: nothing, as
    // updating is switched off), puts the settings back.
    Set("AutomaticallyInsertIntoDatabase", "0");
    EXPECT_EQ(RunToEnd("/updatedb"), 1) << ReadOutput();
    EXPECT_EQ(Setting("WebStatus"), "yes");
    EXPECT_EQ(Setting("FirstPageInfo"), "Welcome");
    EXPECT_EQ(Setting("FirstPageInfoSeverity"), "low");
    Set("AutomaticallyInsertIntoDatabase", "1");

    // The next update finishes.
    ASSERT_EQ(RunToEnd("/updatedb"), 0) << ReadOutput();
    EXPECT_EQ(One("select count(*) from aall where fn <> ''"), std::to_string(files));
    ExpectSearchAndBrowseWork(files);
    EXPECT_EQ(Setting("WebStatus"), "yes");
    EXPECT_EQ(Setting("FirstPageInfo"), "Welcome");
    previous_files = files;
  }
}

}  // namespace
}  // namespace tellwen::testing
