#include "common/address_list.h"

#include <vector>

#include "base/int_text.h"
#include "base/list_value.h"

namespace tellwen {

namespace {

std::string TrimBlanks(const std::string& text) {
  size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(' ');
  return text.substr(begin, end - begin + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t begin = 0;
  while (true) {
    size_t end = text.find(separator, begin);
    parts.push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
    if (end == std::string::npos) break;
    begin = end + 1;
  }
  return parts;
}

// The number a part stands for when it is the plain decimal form of 0..255.
bool ParseOctet(const std::string& part, int* value) {
  std::uint64_t n = 0;
  if (!ParseDigits(part, 3, &n) || n > 255) return false;
  if (std::to_string(n) != part) return false;  // leading zeros
  *value = static_cast<int>(n);
  return true;
}

}  // namespace

Octets ParseRangeEnd(const std::string& text) {
  std::vector<std::string> parts = Split(text, '.');
  Octets octets{0, 0, 0, 0};
  if (parts.size() != 4) return octets;
  for (int i = 0; i < 4; ++i) {
    if (!ParseOctet(parts[i], &octets[i])) return Octets{0, 0, 0, 0};
  }
  return octets;
}

uint64_t ExpandAddressRange(const std::string& field,
                            const std::function<void(const std::string&)>& emit) {
  std::vector<std::string> ends = Split(field, '-');
  if (ends.size() != 2) return 0;
  std::string first = TrimBlanks(ends[0]);
  std::string last = TrimBlanks(ends[1]);
  if (first.empty() || last.empty()) return 0;
  Octets a = ParseRangeEnd(first);
  Octets e = ParseRangeEnd(last);
  uint64_t count = 0;
  for (int w = a[0]; w <= e[0]; ++w) {
    for (int x = a[1]; x <= e[1]; ++x) {
      for (int y = a[2]; y <= e[2]; ++y) {
        for (int z = a[3]; z <= e[3]; ++z) {
          emit("\\\\" + std::to_string(w) + "." + std::to_string(x) + "." + std::to_string(y) +
               "." + std::to_string(z));
          ++count;
        }
      }
    }
  }
  return count;
}

void ForEachListedComputer(const std::string& list_value,
                           const std::function<void(const std::string&)>& emit) {
  std::vector<std::string> fields = SplitListValue(list_value);
  for (size_t i = 1; i < fields.size(); ++i) {
    const std::string& field = fields[i];
    if (field.size() >= 2 && field[0] == '\\' && field[1] == '\\') {
      emit(field);
    } else {
      ExpandAddressRange(field, emit);
    }
  }
}

}  // namespace tellwen
