// The 27 parameters of the extension's Command, in parse-map order. Every
// parameter that a request does not give holds the text "default".
//
// Thread safety: plain data.
#pragma once

#include <string>
#include <vector>

namespace tellwen::query {

inline constexpr const char* kDefault = "default";

// "search=default recordfrom=default ... fromcategory=default".
std::string CommandParamList();

struct CommandParams {
  std::string search = kDefault, recordfrom = kDefault, recordto = kDefault, dowait = kDefault,
              shares = kDefault, dirs = kDefault, files = kDefault, sizebetween = kDefault,
              sizemin = kDefault, sizeminunit = kDefault, sizemax = kDefault,
              sizemaxunit = kDefault, pagesize = kDefault, src = kDefault, stats = kDefault,
              path = kDefault, t = kDefault, proxy = kDefault, searchkind = kDefault,
              suggestions_name = kDefault, suggestions_subject = kDefault,
              suggestions_message = kDefault, page = kDefault, automaticping = kDefault,
              alives = kDefault, searchcategory = kDefault, fromcategory = kDefault;

  // From the parser's values (27, in parse-map order).
  static CommandParams FromValues(const std::vector<std::string>& values);
};

}  // namespace tellwen::query
