// The monitor's event log: where its errors go for the administrator.
//
// EventLog is the interface the worker reports through (tests record the
// reports); SyslogEventLog is the real one, syslog(3) with the identity
// "KIVMonitor". The message table keeps every text the program's event
// source defines; only the database error is reported today.
//
// Thread safety: Report may be called from any thread; SyslogEventLog opens
// the process's syslog connection, so create at most one per process.
#pragma once

#include <cstdint>
#include <string>

namespace tellwen::monitor {

inline constexpr uint32_t kEventDatabaseError = 0xC0000064;
inline constexpr uint32_t kEventServiceRemoved = 0xC0000065;
inline constexpr uint32_t kEventServiceNotRemoved = 0xC0000066;
inline constexpr uint32_t kEventNoControlHandler = 0xC0000067;
inline constexpr uint32_t kEventInitializationFailed = 0xC0000068;
inline constexpr uint32_t kEventServiceStarted = 0xC0000069;
inline constexpr uint32_t kEventUnsupportedRequest = 0xC000006A;
inline constexpr uint32_t kEventDebug = 0xC000006B;
inline constexpr uint32_t kEventServiceStopped = 0xC000006C;
inline constexpr uint32_t kEventServiceNotStarted = 0xC000006D;
inline constexpr uint32_t kEventServiceStatusError = 0xC000006E;

// The message table's text of an event id, with its "%1" and its closing
// "\r\n"; nullptr for an id the table does not hold.
const char* EventMessageText(uint32_t id);

// The text of an event as a log line: "%1" replaced by insertion, the
// closing line break dropped. An unknown id gives "event 0x...: " + insertion.
std::string FormatEventMessage(uint32_t id, const std::string& insertion);

class EventLog {
 public:
  virtual ~EventLog() = default;
  // An error event with one insertion string.
  virtual void ReportError(uint32_t id, const std::string& insertion) = 0;
};

inline constexpr const char* kEventSource = "KIVMonitor";

// syslog(3), identity "KIVMonitor", facility daemon, with the process id.
class SyslogEventLog : public EventLog {
 public:
  SyslogEventLog();
  ~SyslogEventLog() override;
  SyslogEventLog(const SyslogEventLog&) = delete;
  SyslogEventLog& operator=(const SyslogEventLog&) = delete;

  void ReportError(uint32_t id, const std::string& insertion) override;
};

}  // namespace tellwen::monitor
