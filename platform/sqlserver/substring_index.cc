#include "platform/sqlserver/substring_index.h"

#include <algorithm>
#include <vector>

#include "platform/sqlserver/text_match.h"

namespace tellwen::sqlserver {

namespace {

// Trigrams taken from one pattern at most: each costs a posting list to read.
constexpr size_t kMaxTrigrams = 12;

std::string QuotedToken(const std::string& text) {
  std::string r = "\"";
  for (char c : text) {
    if (c == '"') r.push_back('"');
    r.push_back(c);
  }
  return r + "\"";
}

}  // namespace

std::string SubstringMatchQuery(std::string_view like_pattern) {
  const LikePattern pattern(like_pattern, 0);
  // Of each run, the trigrams that cover it end to end without overlapping
  // (the last one ends with the run): a value holding the run holds each of
  // them, and together they narrow almost as well as all of its trigrams.
  // The overlapping ones would cost a posting list each, and the common
  // trigrams' lists are long.
  std::vector<std::string> trigrams;
  for (const std::string& run : pattern.LiteralRuns(kMinLiteralRun)) {
    std::vector<uint32_t> cps;
    DecodeUtf8(run, false, &cps);
    if (cps.size() < kMinLiteralRun) continue;
    for (size_t i = 0;; i += kMinLiteralRun) {
      const size_t at = std::min(i, cps.size() - kMinLiteralRun);
      trigrams.push_back(EncodeUtf8(cps, at, at + kMinLiteralRun));
      if (at + kMinLiteralRun >= cps.size()) break;
    }
  }
  std::sort(trigrams.begin(), trigrams.end());
  trigrams.erase(std::unique(trigrams.begin(), trigrams.end()), trigrams.end());
  if (trigrams.size() > kMaxTrigrams) {
    // Every k-th one, so that the text is still covered loosely.
    std::vector<std::string> spread;
    for (size_t i = 0; i < kMaxTrigrams; ++i) {
      spread.push_back(trigrams[i * trigrams.size() / kMaxTrigrams]);
    }
    trigrams = std::move(spread);
  }
  std::string query;
  for (const std::string& t : trigrams) {
    if (!query.empty()) query += " AND ";
    query += QuotedToken(t);
  }
  return query;
}

}  // namespace tellwen::sqlserver
