#include "query/command_params.h"

namespace tellwen::query {

namespace {

// Parse-map order; FromValues relies on it.
constexpr const char* kNames[] = {"search",
                                  "recordfrom",
                                  "recordto",
                                  "dowait",
                                  "shares",
                                  "dirs",
                                  "files",
                                  "sizebetween",
                                  "sizemin",
                                  "sizeminunit",
                                  "sizemax",
                                  "sizemaxunit",
                                  "pagesize",
                                  "src",
                                  "stats",
                                  "path",
                                  "t",
                                  "proxy",
                                  "searchkind",
                                  "suggestions_name",
                                  "suggestions_subject",
                                  "suggestions_message",
                                  "page",
                                  "automaticping",
                                  "alives",
                                  "searchcategory",
                                  "fromcategory"};

}  // namespace

std::string CommandParamList() {
  std::string list;
  for (const char* name : kNames) {
    if (!list.empty()) list += ' ';
    list += std::string(name) + "=" + kDefault;
  }
  return list;
}

CommandParams CommandParams::FromValues(const std::vector<std::string>& v) {
  CommandParams p;
  std::string* fields[] = {&p.search,
                           &p.recordfrom,
                           &p.recordto,
                           &p.dowait,
                           &p.shares,
                           &p.dirs,
                           &p.files,
                           &p.sizebetween,
                           &p.sizemin,
                           &p.sizeminunit,
                           &p.sizemax,
                           &p.sizemaxunit,
                           &p.pagesize,
                           &p.src,
                           &p.stats,
                           &p.path,
                           &p.t,
                           &p.proxy,
                           &p.searchkind,
                           &p.suggestions_name,
                           &p.suggestions_subject,
                           &p.suggestions_message,
                           &p.page,
                           &p.automaticping,
                           &p.alives,
                           &p.searchcategory,
                           &p.fromcategory};
  for (size_t i = 0; i < std::size(fields) && i < v.size(); ++i) *fields[i] = v[i];
  return p;
}

}  // namespace tellwen::query
