#include "indexer/core/update_sql_log.h"

#include <cstdio>
#include <memory>

namespace tellwen::indexer {
namespace {

// Text with every line end written as CR LF.
std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

}  // namespace

std::string SqlLogPath(const std::string& log_folder) {
  if (log_folder.empty() || log_folder.back() == '/') return log_folder + "sql_log.txt";
  return log_folder + "/sql_log.txt";
}

bool AppendSqlLogRecord(const std::string& path, const std::string& job, const std::string& body,
                        const std::string& result, const std::string& time) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "ab"), &std::fclose);
  if (!file) return false;
  std::string record = "job   : " + job + "\r\n";
  record += "body  : " + WithCrLf(body);
  if (body.empty() || body.back() != '\n') record += "\r\n";
  record += "result: " + WithCrLf(result) + "\r\n";
  record += "time  : " + time + "\r\n\r\n\r\n";
  return std::fwrite(record.data(), 1, record.size(), file.get()) == record.size();
}

}  // namespace tellwen::indexer
