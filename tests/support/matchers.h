// Test support: GoogleMock's matchers by their plain names inside
// tellwen::testing (the tests and fixtures in that namespace include this
// instead of each naming them again: there, `testing::HasSubstr` would be
// looked up in tellwen::testing and not in GoogleTest's ::testing), and
// HasSubstrings, for a page that must hold many pieces.
//
// Occurrences counts a piece in a page or a report (a line that must be
// written once).
//
// Thread safety: matchers are immutable; use them from any thread.
#pragma once

#include <gmock/gmock.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace tellwen::testing {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::Not;
using ::testing::StartsWith;

// How many times piece occurs in text, overlapping occurrences included.
inline size_t Occurrences(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

// Matches a text that contains every one of pieces. A mismatch names each
// missing piece and shows the text once, where one HasSubstr per piece would
// show it again for every missing one.
class HasSubstringsMatcher : public ::testing::MatcherInterface<const std::string&> {
 public:
  explicit HasSubstringsMatcher(std::vector<std::string> pieces) : pieces_(std::move(pieces)) {}

  bool MatchAndExplain(const std::string& text,
                       ::testing::MatchResultListener* listener) const override {
    bool all = true;
    for (const std::string& piece : pieces_) {
      if (text.find(piece) != std::string::npos) continue;
      *listener << (all ? "which lacks " : ", ") << ::testing::PrintToString(piece);
      all = false;
    }
    return all;
  }
  void DescribeTo(std::ostream* out) const override {
    *out << "contains each of " << ::testing::PrintToString(pieces_);
  }
  void DescribeNegationTo(std::ostream* out) const override {
    *out << "lacks one of " << ::testing::PrintToString(pieces_);
  }

 private:
  std::vector<std::string> pieces_;
};

inline ::testing::Matcher<const std::string&> HasSubstrings(std::vector<std::string> pieces) {
  return ::testing::MakeMatcher(new HasSubstringsMatcher(std::move(pieces)));
}

}  // namespace tellwen::testing
