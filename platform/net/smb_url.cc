#include "platform/net/smb_url.h"

namespace tellwen::net {

namespace {

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

std::string StripLeadingBackslashes(const std::string& unc) {
  size_t start = 0;
  while (start < unc.size() && start < 2 && unc[start] == '\\') ++start;
  return unc.substr(start);
}

}  // namespace

std::string PercentEncode(const std::string& component) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(component.size());
  for (unsigned char c : component) {
    if (IsUnreserved(c)) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
  return out;
}

std::string UncToSmbUrl(const std::string& unc) {
  std::string rest = StripLeadingBackslashes(unc);
  std::string url = "smb://";
  size_t begin = 0;
  bool first = true;
  while (begin <= rest.size() && !rest.empty()) {
    size_t end = rest.find('\\', begin);
    if (end == std::string::npos) end = rest.size();
    if (!first) url.push_back('/');
    url += PercentEncode(rest.substr(begin, end - begin));
    first = false;
    begin = end + 1;
  }
  return url;
}

std::string WorkgroupToSmbUrl(const std::string& workgroup) {
  return "smb://" + PercentEncode(workgroup);
}

std::string ComputerOfUnc(const std::string& unc) {
  std::string rest = StripLeadingBackslashes(unc);
  return rest.substr(0, rest.find('\\'));
}

}  // namespace tellwen::net
