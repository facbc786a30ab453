#include "monitor/core/monitor_worker.h"

#include "common/update_state.h"
#include "monitor/core/ping_settings.h"

namespace tellwen::monitor {

MonitorWorker::MonitorWorker(MonitorDependencies deps) : deps_(std::move(deps)) {
  round_start_ms_ = deps_.clock->SteadyMs();
}

void MonitorWorker::ReadSettings() {
  state_.slider_position.store(
      PingPositionFromSetting(deps_.settings->GetIntValue("MonitorPingInterval")));
  state_.ping_timeout_ms.store(PingTimeoutFromSetting(deps_.settings->GetIntValue("PingTimeout")));
}

void MonitorWorker::SaveSettings() {
  deps_.settings->SetValue("MonitorPingInterval", std::to_string(state_.slider_position.load()));
}

void MonitorWorker::Run() {
  while (!state_.stop.load()) LoopOnce();
}

void MonitorWorker::RequestStop() {
  state_.stop.store(true);
  deps_.clock->Wake();
}

void MonitorWorker::LoopOnce() {
  if (state_.waiting.load() && WebStatus() == "yes") {
    LoadList();
    state_.waiting.store(false);
  }
  const int pause = PauseMilliseconds(state_.slider_position.load());
  state_.UpdateTexts([&](MonitorTexts& t) { t.interval = std::to_string(pause); });
  deps_.clock->SleepFor(pause);
  if (state_.stop.load()) return;
  Step();
}

std::string MonitorWorker::WebStatus() {
  std::string status = deps_.settings->GetValue("WebStatus");
  if (status == kWebStatusUpdating) {
    // An update that did not finish would keep the monitor waiting for good.
    UpdateRecovery recovery = UpdateRecovery::kNothingLeft;
    RecoverUnfinishedUpdate(UpdateStateFolder(), *deps_.settings, &recovery);
    if (recovery == UpdateRecovery::kPutBack) status = deps_.settings->GetValue("WebStatus");
  }
  return status;
}

void MonitorWorker::SetStatus(const char* status) {
  state_.UpdateTexts([&](MonitorTexts& t) { t.status = status; });
}

void MonitorWorker::Step() {
  if (state_.pause.load()) {
    SetStatus(kStatusPaused);
    return;
  }
  // Still waiting for the web status: nothing has been loaded for this
  // round, so this is a wait, not an empty list (an empty list would back
  // off for five minutes and miss the start of the web service).
  if (state_.waiting.load()) {
    SetStatus(kStatusWaiting);
    return;
  }
  if (list_.empty()) {
    SetStatus(kStatusIdle);
    deps_.clock->SleepFor(kIdleSleepMs);
    if (state_.stop.load()) return;
    LoadList();
    return;
  }
  if (WebStatus() != "yes") {
    state_.waiting.store(true);
    SetStatus(kStatusWaiting);
    return;
  }
  PingNext();
}

void MonitorWorker::PingNext() {
  SetStatus(kStatusPinging);
  const int position = state_.position.load();
  ComputerRecord& record = list_[static_cast<size_t>(position)];
  const std::string host = HostOf(record.name);
  state_.UpdateTexts([&](MonitorTexts& t) {
    t.last_computer = host;
    t.last_computer_status = kComputerPinging;
  });

  const net::EchoReply reply = deps_.echo->Echo(host, state_.ping_timeout_ms.load());
  const bool answered = reply.status == net::EchoStatus::kAlive;
  state_.UpdateTexts(
      [&](MonitorTexts& t) { t.last_computer_status = answered ? kComputerAlive : kComputerDead; });
  record.status = answered ? kStatusAnswered : kStatusNotAnswered;
  record.ping_time = PingTimeText(deps_.clock->LocalNow());

  state_.position.store(position + 1);
  if (static_cast<size_t>(position) + 1 >= list_.size()) {
    Rewrite();
    if (state_.error.load()) {
      list_.clear();
      state_.position.store(0);
    } else {
      LoadList();
    }
  }
}

void MonitorWorker::Rewrite() {
  RunMonitorSql(BuildRewriteBatch(list_), 0);
  const uint64_t now = deps_.clock->SteadyMs();
  // LastPingTime tells the web site that monitor_pings is fresh: a failed
  // rewrite left the table as it was, so the time stays as it was too.
  if (!state_.error.load()) {
    deps_.settings->SetValue("LastPingTime", std::to_string(deps_.clock->TickCount()));
  }
  const std::string round_time = RoundTimeText(now - round_start_ms_);
  state_.UpdateTexts([&](MonitorTexts& t) { t.last_round_time = round_time; });
  round_start_ms_ = now;
}

void MonitorWorker::LoadList() {
  SqlResult result = RunMonitorSql(kLoadListQuery, 1);
  list_.clear();
  if (!result.error) {
    list_.reserve(result.rows.size());
    for (const SqlRow& row : result.rows) list_.push_back({row.empty() ? "" : row[0], "", ""});
  }
  state_.position.store(0);
  state_.computers.store(static_cast<int>(list_.size()));
  const std::string number = std::to_string(list_.size());
  state_.UpdateTexts([&](MonitorTexts& t) { t.computers_number = number; });
}

SqlResult MonitorWorker::RunMonitorSql(const std::string& command, int column_count) {
  state_.error.store(false);
  SqlResult result = deps_.sql->Run(command, column_count, SqlCaller::kMonitorRound);
  if (result.error) {
    state_.error.store(true);
    deps_.event_log->ReportError(kEventDatabaseError, result.error_text);
  }
  return result;
}

}  // namespace tellwen::monitor
