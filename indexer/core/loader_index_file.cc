#include "indexer/core/loader_index_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "indexer/core/line_reader.h"

namespace tellwen::indexer {
namespace {

constexpr size_t kMaxFieldBytes = 255;
constexpr size_t kBatchReserveBytes = 5 * 1024 * 1024;
// More than any line that can pass CheckIndexLine.
constexpr size_t kMaxKeptLineBytes = 4096;
constexpr std::string_view kLoaderSource = "KIVIndexer loader";

std::string LoaderError(const std::string& description) {
  return "unexpected error: " + description + " src:" + std::string(kLoaderSource);
}

// Rows of zz as the server counts them, or -1 when the count fails.
int64_t CountLoadedRows(SqlSession& executor) {
  SqlResult result = executor.Run("select count(*) from zz", 1, SqlCaller::kIndexerBatch);
  if (result.error || result.rows.empty() || result.rows[0].empty()) return -1;
  char* end = nullptr;
  const long long count = std::strtoll(result.rows[0][0].c_str(), &end, 10);
  if (end == result.rows[0][0].c_str() || *end != '\0') return -1;
  return count;
}

// Sends one batch of `lines` inserts; `committed` is the number of rows zz
// held before it. Returns "" when the batch's rows are in zz exactly once.
std::string SendBatch(SqlSession& executor, const std::string& batch, int64_t lines,
                      int64_t committed) {
  std::string first_error;
  for (int attempt = 0; attempt < 2; ++attempt) {
    SqlResult result = executor.Run(batch, 0, SqlCaller::kIndexerBatch);
    if (!result.error) return "";
    if (first_error.empty()) first_error = result.error_text;
    const int64_t rows = CountLoadedRows(executor);
    if (rows < 0) return first_error;          // the database is out of reach
    if (rows == committed + lines) return "";  // it committed after all
    if (rows != committed) {
      return LoaderError("a failed load batch left " + std::to_string(rows - committed) +
                         " of its " + std::to_string(lines) +
                         " rows in zz (batch error: " + result.error_text + ")");
    }
    // Nothing of it stayed: safe to send it once more.
  }
  return first_error;
}

}  // namespace

std::string CheckIndexLine(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t begin = 0;
  while (true) {
    const size_t tab = line.find('\t', begin);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(begin));
      break;
    }
    fields.push_back(line.substr(begin, tab - begin));
    begin = tab + 1;
  }
  if (fields.size() != 6) {
    return "the line has " + std::to_string(fields.size()) + " fields instead of six";
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].size() > kMaxFieldBytes) {
      return "field " + std::to_string(i + 1) + " is longer than 255 bytes";
    }
  }
  if (fields[0].empty()) return "the computer name is empty";
  // Every computer is written as "//" + name; anything else (a CR left at
  // the start by LF CR line ends, say) would load a computer nobody has.
  if (fields[0].size() < 3 || fields[0].substr(0, 2) != "//") {
    return "the computer name does not start with \"//\"";
  }
  if (fields[4].empty()) return "the file name is empty";
  const std::string_view size = fields[5];
  if (size.empty() || size.size() > 10 ||
      size.find_first_not_of("0123456789") != std::string_view::npos ||
      std::strtoll(std::string(size).c_str(), nullptr, 10) > 2147483647LL) {
    return "the size is not a number of kilobytes from 0 to 2147483647";
  }
  return "";
}

void AppendInsertStatement(std::string_view line, std::string* batch) {
  batch->append("insert into zz values('");
  int tabs = 0;
  for (char c : line) {
    if (c == '\t' && tabs < 5) {
      ++tabs;
      batch->append("','");
    } else if (c == '\'') {
      batch->append("''");
    } else {
      batch->push_back(c);
    }
  }
  batch->append("')\n");
}

LoaderResult LoadIndexFile(const std::string& path, SqlSession& executor, const LoaderHooks& hooks,
                           FileEnv* env) {
  LoaderResult result;
  std::unique_ptr<ReadableFile> file;
  if (const int error = env->NewReadableFile(path, &file); error != 0) {
    result.ok = false;
    result.error_text =
        LoaderError("cannot open the index file " + path + ": " + std::strerror(error));
    return result;
  }

  std::string batch;
  batch.reserve(kBatchReserveBytes);
  int64_t in_batch = 0;
  int64_t committed = 0;
  auto flush = [&]() -> bool {
    batch.append("commit tran\n");
    const std::string error = SendBatch(executor, batch, in_batch, committed);
    if (!error.empty()) {
      result.ok = false;
      result.error_text = error;
      return false;
    }
    committed += in_batch;
    result.lines_sent = committed;
    ++result.batches;
    batch.clear();
    in_batch = 0;
    if (hooks.progress) hooks.progress(result.lines_sent);
    return true;
  };

  LineReader reader(file.get(), kMaxKeptLineBytes);
  int64_t line_number = 0;
  std::string_view line;
  uint64_t length = 0;
  while (reader.Next(&line, &length)) {
    if (hooks.stop_requested && hooks.stop_requested()) {
      result.stopped = true;
      break;
    }
    ++line_number;
    const bool cut = length > line.size();
    if (reader.last_byte() == '\r') {
      --length;
      if (!cut) line.remove_suffix(1);
    }
    if (line.empty()) continue;
    const std::string reason =
        cut ? "the line is " + std::to_string(length) + " bytes long, longer than any index line"
            : CheckIndexLine(line);
    if (!reason.empty()) {
      ++result.lines_rejected;
      if (hooks.rejected) hooks.rejected(line_number, reason, line);
      continue;
    }
    if (in_batch == 0) batch.append("begin tran\n");
    AppendInsertStatement(line, &batch);
    if (++in_batch == kLoaderLinesPerBatch && !flush()) break;
  }
  if (result.ok && !result.stopped && reader.error() != 0) {
    // What was read is not the whole file: loading it would swap a cut
    // catalog in for the live one.
    result.ok = false;
    result.error_text =
        LoaderError("cannot read the index file " + path + ": " + std::strerror(reader.error()));
    return result;
  }
  if (result.ok && !result.stopped && in_batch > 0) flush();
  return result;
}

}  // namespace tellwen::indexer
