#include "platform/desktop/file_filter.h"

#include <vector>

#include "base/list_value.h"
#include "base/text_trim.h"

namespace tellwen::desktop {

std::string QtFileFilter(const std::string& list_filter) {
  std::vector<std::string> fields = SplitListValue(list_filter);
  std::string out;
  for (size_t i = 0; i + 1 < fields.size(); i += 2) {
    std::string label = Trim(fields[i]);
    if (label.empty()) break;  // the closing "||"
    // The label's own "(...)" repeats the patterns; Qt reads the patterns
    // from the parentheses, so they are written once, in Qt's form.
    const size_t open = label.rfind(" (");
    if (open != std::string::npos && label.back() == ')') label = Trim(label.substr(0, open));
    std::string patterns;
    size_t begin = 0;
    const std::string& text = fields[i + 1];
    while (begin <= text.size()) {
      size_t end = text.find(';', begin);
      if (end == std::string::npos) end = text.size();
      std::string pattern = Trim(text.substr(begin, end - begin));
      if (pattern == "*.*") pattern.erase(1);  // "*": Qt's "every file"
      if (!pattern.empty()) {
        if (!patterns.empty()) patterns += ' ';
        patterns += pattern;
      }
      begin = end + 1;
    }
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on the
    // chained form under the sanitizers.
    if (!out.empty()) out += ";;";
    out += label;
    out += " (";
    out += patterns;
    out += ')';
  }
  return out;
}

}  // namespace tellwen::desktop
