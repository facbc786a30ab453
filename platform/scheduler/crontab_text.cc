#include "platform/scheduler/crontab_text.h"

#include <string_view>
#include <vector>

namespace tellwen::scheduler {
namespace {

// One line of the crontab: its text without "\n", and whether "\n" ended it.
struct Line {
  std::string_view text;
  bool has_newline = false;
};

std::vector<Line> SplitLines(std::string_view crontab) {
  std::vector<Line> lines;
  size_t start = 0;
  while (start < crontab.size()) {
    size_t end = crontab.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back({crontab.substr(start), false});
      break;
    }
    lines.push_back({crontab.substr(start, end - start), true});
    start = end + 1;
  }
  return lines;
}

// A marker matches with trailing blanks or a "\r" left by an editor.
bool IsMarker(std::string_view text, const std::string& marker) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text == marker;
}

bool IsJobLine(std::string_view text) {
  size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return false;
  return text.substr(first, 2) != "# " && text.substr(first) != "#";
}

void Append(std::string& out, const Line& line) {
  out.append(line.text);
  if (line.has_newline) out.push_back('\n');
}

// Rebuilds the crontab with every copy of the item dropped; when
// replacement is given, the first copy is replaced by it in place and
// *placed says so.
std::string Rewrite(const std::string& crontab, const std::string& item_name,
                    const std::string* replacement, bool* placed) {
  const std::string marker = CronItemMarker(item_name);
  const std::vector<Line> lines = SplitLines(crontab);
  std::string out;
  out.reserve(crontab.size() + (replacement ? replacement->size() + marker.size() + 2 : 0));
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!IsMarker(lines[i].text, marker)) {
      Append(out, lines[i]);
      continue;
    }
    if (i + 1 < lines.size() && IsJobLine(lines[i + 1].text)) ++i;
    if (replacement != nullptr && !*placed) {
      out.append(marker);
      out.push_back('\n');
      out.append(*replacement);
      out.push_back('\n');
      *placed = true;
    }
  }
  return out;
}

}  // namespace

std::string CronItemMarker(const std::string& item_name) {
  std::string marker = "# ";
  marker += item_name;
  return marker;
}

std::optional<std::string> FindCronItem(const std::string& crontab, const std::string& item_name) {
  const std::string marker = CronItemMarker(item_name);
  const std::vector<Line> lines = SplitLines(crontab);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!IsMarker(lines[i].text, marker)) continue;
    if (i + 1 < lines.size() && IsJobLine(lines[i + 1].text)) {
      std::string_view job = lines[i + 1].text;
      if (!job.empty() && job.back() == '\r') job.remove_suffix(1);
      return std::string(job);
    }
    return std::string();
  }
  return std::nullopt;
}

std::string SetCronItem(const std::string& crontab, const std::string& item_name,
                        const std::string& job_line) {
  bool placed = false;
  std::string out = Rewrite(crontab, item_name, &job_line, &placed);
  if (placed) return out;
  if (!out.empty() && out.back() != '\n') out.push_back('\n');
  out += CronItemMarker(item_name);
  out.push_back('\n');
  out += job_line;
  out.push_back('\n');
  return out;
}

std::string RemoveCronItem(const std::string& crontab, const std::string& item_name) {
  return Rewrite(crontab, item_name, nullptr, nullptr);
}

}  // namespace tellwen::scheduler
