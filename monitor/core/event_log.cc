#include "monitor/core/event_log.h"

#include <syslog.h>

#include <cstdio>

namespace tellwen::monitor {
namespace {

struct EventMessage {
  uint32_t id;
  const char* text;
};

constexpr EventMessage kMessages[] = {
    {kEventDatabaseError, "Database error: %1\r\n"},
    {kEventServiceRemoved, "The %1 service was removed.\r\n"},
    {kEventServiceNotRemoved, "The %1 service could not be removed.\r\n"},
    {kEventNoControlHandler, "The control handler could not be installed.\r\n"},
    {kEventInitializationFailed, "The initialization process failed.\r\n"},
    {kEventServiceStarted, "The service was started.\r\n"},
    {kEventUnsupportedRequest, "The service received an unsupported request.\r\n"},
    {kEventDebug, "Debug: %1\r\n"},
    {kEventServiceStopped, "The service was stopped.\r\n"},
    {kEventServiceNotStarted, "The service could not start: %1\r\n"},
    {kEventServiceStatusError, "Error in setting service status: %1\r\n"},
};

}  // namespace

const char* EventMessageText(uint32_t id) {
  for (const EventMessage& message : kMessages) {
    if (message.id == id) return message.text;
  }
  return nullptr;
}

std::string FormatEventMessage(uint32_t id, const std::string& insertion) {
  const char* text = EventMessageText(id);
  if (text == nullptr) {
    char head[32];
    std::snprintf(head, sizeof head, "event 0x%08X: ", id);
    return head + insertion;
  }
  std::string out = text;
  // One pass, so that a "%1" inside the insertion is kept as it is.
  const size_t at = out.find("%1");
  if (at != std::string::npos) out.replace(at, 2, insertion);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

SyslogEventLog::SyslogEventLog() { openlog(kEventSource, LOG_PID, LOG_DAEMON); }

SyslogEventLog::~SyslogEventLog() { closelog(); }

void SyslogEventLog::ReportError(uint32_t id, const std::string& insertion) {
  syslog(LOG_ERR, "%s", FormatEventMessage(id, insertion).c_str());
}

}  // namespace tellwen::monitor
