// The texts of a round, the settings rules, the event messages and the
// headless status line.
#include "monitor/core/ping_round.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "base/int_text.h"
#include "monitor/core/event_log.h"
#include "monitor/core/overall_progress.h"
#include "monitor/core/ping_settings.h"
#include "monitor/core/status_line.h"
#include "tests/support/local_time.h"

namespace tellwen::monitor {
namespace {

TEST(RewriteBatch, IsOneTransactionEvenForAnEmptyRound) {
  EXPECT_EQ(BuildRewriteBatch({}),
            "begin transaction delete from monitor_pings commit transaction");
}

TEST(RewriteBatch, DoublesEveryQuoteOfEveryText) {
  const std::string batch = BuildRewriteBatch({{"//a'b''c", "1", "2026, 01, 02, 03, 04, 05"}});
  EXPECT_EQ(batch,
            "begin transaction delete from monitor_pings insert into monitor_pings(name, status, "
            "ping_time) values('//a''b''''c', '1', '2026, 01, 02, 03, 04, 05') commit transaction");
  // A name crafted to close the literal stays inside it.
  const std::string evil = BuildRewriteBatch({{"//x'); drop table aall --", "2", ""}});
  EXPECT_NE(evil.find("values('//x''); drop table aall --', '2', '')"), std::string::npos);
}

TEST(RoundTexts, HostDropsOnlyTheLeadingDoubleSlash) {
  for (auto [name, host] :
       {std::pair{"//pc1", "pc1"}, {"pc1", "pc1"}, {"///pc1", "/pc1"}, {"//", ""}}) {
    EXPECT_EQ(HostOf(name), host) << name;
  }
}

TEST(RoundTexts, PingTimeAndRoundTime) {
  EXPECT_EQ(PingTimeText(tellwen::testing::LocalTime(2002, 2, 5, 7, 8, 9)),
            "2002, 02, 05, 07, 08, 09");
  EXPECT_EQ(RoundTimeText(0), "00:00:00");
  EXPECT_EQ(RoundTimeText(3723999), "01:02:03");
  EXPECT_EQ(RoundTimeText(100ull * 3600 * 1000), "100:00:00");
}

TEST(OverallProgress, MovesOnlyForMoreThanOneComputerAndClamps) {
  EXPECT_FALSE(OverallFor(0, 0).update);
  EXPECT_FALSE(OverallFor(0, 1).update);
  OverallProgress two = OverallFor(1, 2);
  ASSERT_TRUE(two.update);
  EXPECT_EQ(two.maximum, 1);
  EXPECT_EQ(two.position, 1);
  EXPECT_EQ(two.percent, "100%");
  EXPECT_EQ(OverallFor(2, 6).percent, "40%");
  // Past the last computer (the rewrite's moment) stays at 100.
  EXPECT_EQ(OverallFor(6, 6).percent, "100%");
  EXPECT_EQ(OverallFor(6, 6).position, 5);
  EXPECT_EQ(OverallFor(-1, 6).percent, "0%");
}

TEST(PingSettings, PauseTableAndItsFallback) {
  const int expected[] = {50, 250, 500, 750, 1000, 2000, 3000, 7500, 15000, 30000, 60000};
  for (int position = 0; position <= 10; ++position) {
    EXPECT_EQ(PauseMilliseconds(position), expected[position]) << position;
  }
  EXPECT_EQ(PauseMilliseconds(-1), 500);
  EXPECT_EQ(PauseMilliseconds(11), 500);
}

TEST(PingSettings, RangesOfTheStoredValues) {
  EXPECT_EQ(PingPositionFromSetting(LeadingInt("11")), 2);
  EXPECT_EQ(PingPositionFromSetting(LeadingInt("x")), 0);
  EXPECT_EQ(PingPositionFromSetting(LeadingInt("10")), 10);
  EXPECT_EQ(PingPositionFromSetting(LeadingInt("-3")), 2);
  EXPECT_EQ(PingTimeoutFromSetting(LeadingInt("20")), 1000);
  EXPECT_EQ(PingTimeoutFromSetting(LeadingInt("50")), 50);
  EXPECT_EQ(PingTimeoutFromSetting(LeadingInt("10000")), 10000);
  EXPECT_EQ(PingTimeoutFromSetting(LeadingInt("10001")), 1000);
  EXPECT_EQ(PingTimeoutFromSetting(LeadingInt("99999999999999999999")), 1000);
  EXPECT_EQ(LeadingInt("  42ms"), 42);
  EXPECT_EQ(LeadingInt("-99999999999999999999"), INT_MIN);
}

TEST(EventMessages, DatabaseErrorIsFilledInAndTheTableIsKept) {
  EXPECT_EQ(FormatEventMessage(kEventDatabaseError, "unexpected error: gone src:x"),
            "Database error: unexpected error: gone src:x");
  // An insertion holding "%1" is not expanded again.
  EXPECT_EQ(FormatEventMessage(kEventDatabaseError, "50%1 done"), "Database error: 50%1 done");
  EXPECT_STREQ(EventMessageText(kEventDatabaseError), "Database error: %1\r\n");
  EXPECT_STREQ(EventMessageText(kEventServiceRemoved), "The %1 service was removed.\r\n");
  EXPECT_STREQ(EventMessageText(kEventServiceStopped), "The service was stopped.\r\n");
  EXPECT_STREQ(EventMessageText(kEventServiceStatusError),
               "Error in setting service status: %1\r\n");
  for (uint32_t id = kEventDatabaseError; id <= kEventServiceStatusError; ++id) {
    EXPECT_NE(EventMessageText(id), nullptr) << std::hex << id;
  }
  EXPECT_EQ(EventMessageText(0xC000006F), nullptr);
  EXPECT_EQ(FormatEventMessage(0x1, "x"), "event 0x00000001: x");
}

TEST(StatusLine, PrintsWhenStateOrLastComputerOrItsStatusChanges) {
  std::ostringstream out;
  StatusLine line(out);
  MonitorTexts texts;
  texts.status = "pinging...";
  texts.computers_number = "2";
  line.OnTexts(texts);
  texts.interval = "500";  // not a reason for a line
  line.OnTexts(texts);
  texts.last_computer = "pc1";
  texts.last_computer_status = "pinging...";
  line.OnTexts(texts);
  texts.last_computer_status = "alive!";
  line.OnTexts(texts);
  line.OnTexts(texts);
  texts.status = "waiting...";
  line.OnTexts(texts);
  EXPECT_EQ(out.str(),
            "status: pinging... | computers: 2 | last computer: N/A N/A | last round: N/A\n"
            "status: pinging... | computers: 2 | last computer: pc1 pinging... | last round: N/A\n"
            "status: pinging... | computers: 2 | last computer: pc1 alive! | last round: N/A\n"
            "status: waiting... | computers: 2 | last computer: pc1 alive! | last round: N/A\n");
}

TEST(MonitorStateTexts, ObserverSeesEachChangeOnce) {
  MonitorState state;
  std::vector<std::string> seen;
  state.SetObserver([&seen](const MonitorTexts& t) { seen.push_back(t.status); });
  state.UpdateTexts([](MonitorTexts& t) { t.status = "idle"; });
  state.UpdateTexts([](MonitorTexts& t) { t.status = "idle"; });
  state.UpdateTexts([](MonitorTexts& t) { t.status = "paused"; });
  EXPECT_THAT(seen, ::testing::ElementsAre("idle", "paused"));
}

}  // namespace
}  // namespace tellwen::monitor
