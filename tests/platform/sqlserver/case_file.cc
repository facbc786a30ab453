#include "tests/platform/sqlserver/case_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace tellwen::sqlserver {
namespace {

bool ValidId(const std::string& id) {
  if (id.empty()) return false;
  for (char c : id) {
    if (!isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

// The text after keyword and one blank, when line is the keyword alone or
// followed by a blank.
bool Keyword(const std::string& line, const std::string& keyword, std::string* rest) {
  if (line.compare(0, keyword.size(), keyword) != 0) return false;
  if (line.size() == keyword.size()) {
    rest->clear();
    return true;
  }
  if (line[keyword.size()] != ' ') return false;
  *rest = line.substr(keyword.size() + 1);
  return true;
}

}  // namespace

std::string FormatCaseRow(const std::vector<std::string>& fields) {
  std::string out;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) out += " | ";
    const std::string& f = fields[i];
    const bool quote = f.empty() || f.front() == ' ' || f.back() == ' ' ||
                       f.find('|') != std::string::npos || f.find('"') != std::string::npos ||
                       f.find('\t') != std::string::npos;
    if (!quote) {
      out += f;
      continue;
    }
    out += '"';
    for (char c : f) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

bool ParseCaseFile(const std::string& file, const std::string& text, std::vector<Case>* cases,
                   std::string* error) {
  std::istringstream in(text);
  std::string line;
  int number = 0;
  // What indented lines continue: the batch of the last step, or its rows.
  enum class Open { kNone, kBatch, kRows } open = Open::kNone;
  auto fail = [&](const std::string& why) {
    *error = file + ":" + std::to_string(number) + ": " + why;
    return false;
  };
  auto step = [&]() -> CaseStep* {
    if (cases->empty() || cases->back().file != file || cases->back().steps.empty()) return nullptr;
    return &cases->back().steps.back();
  };
  const size_t first_case = cases->size();
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::string rest;
    if (line.compare(0, 2, "  ") == 0) {
      CaseStep* s = step();
      if (open == Open::kBatch) {
        s->batch += (s->batch.empty() ? "" : "\n") + line.substr(2);
      } else if (open == Open::kRows) {
        s->rows.push_back(line.substr(2));
      } else {
        return fail("an indented line belongs to nothing");
      }
      continue;
    }
    if (Keyword(line, "case", &rest)) {
      if (!ValidId(rest)) return fail("a case id is letters, digits and '_'");
      for (size_t i = first_case; i < cases->size(); ++i) {
        if ((*cases)[i].id == rest) return fail("case " + rest + " appears twice");
      }
      cases->push_back(Case{rest, file, number, {}, ""});
      open = Open::kNone;
      continue;
    }
    if (cases->size() == first_case) return fail("text before the first case");
    if (Keyword(line, "embedded-only", &rest)) {
      if (rest.empty() || !cases->back().steps.empty()) {
        return fail("embedded-only comes right after its case, with the reason");
      }
      cases->back().embedded_only = rest;
      continue;
    }
    if (Keyword(line, "sql", &rest)) {
      CaseStep s;
      s.batch = rest;
      s.line = number;
      cases->back().steps.push_back(std::move(s));
      open = Open::kBatch;
      continue;
    }
    CaseStep* s = step();
    if (!s || open != Open::kBatch) return fail("an expectation without its sql step");
    if (s->batch.empty()) return fail("an empty batch");
    open = Open::kNone;
    if (Keyword(line, "ok", &rest) && rest.empty()) {
      s->expect = CaseStep::Expect::kOk;
    } else if (Keyword(line, "rows", &rest) && rest.empty()) {
      s->expect = CaseStep::Expect::kRows;
      open = Open::kRows;
    } else if (Keyword(line, "error-prefix", &rest) && !rest.empty()) {
      s->expect = CaseStep::Expect::kErrorPrefix;
      s->error = rest;
    } else if (Keyword(line, "error", &rest) && !rest.empty()) {
      s->expect = CaseStep::Expect::kError;
      s->error = rest;
    } else {
      return fail("expected sql, ok, rows, error or error-prefix");
    }
  }
  if (open == Open::kBatch) return fail("the last step has no expectation");
  for (size_t i = first_case; i < cases->size(); ++i) {
    if ((*cases)[i].steps.empty()) {
      number = (*cases)[i].line;
      return fail("case " + (*cases)[i].id + " has no step");
    }
  }
  return true;
}

std::vector<Case> LoadCaseFiles(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".cases") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  std::vector<Case> cases;
  std::set<std::string> ids;
  for (const std::string& path : files) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string name = std::filesystem::path(path).filename().string();
    std::string error;
    const size_t before = cases.size();
    if (!ParseCaseFile(name, text.str(), &cases, &error)) {
      // A malformed file shows as one failing case instead of vanishing.
      cases.resize(before);
      Case broken{"malformed_" + std::to_string(before), name, 0, {}, ""};
      CaseStep step;
      step.expect = CaseStep::Expect::kError;
      step.error = error;
      broken.steps.push_back(step);
      cases.push_back(std::move(broken));
      continue;
    }
    for (size_t i = before; i < cases.size(); ++i) {
      if (!ids.insert(cases[i].id).second) cases[i].id += "_DUPLICATE_ID";
    }
  }
  return cases;
}

}  // namespace tellwen::sqlserver
