// Test and benchmark support: the parameters of a search as the site's
// search form sends it (the first page of 200 rows, folders and files).
//
// Thread safety: pure function.
#pragma once

#include <string>

#include "query/command_params.h"

namespace tellwen::testing {

inline query::CommandParams SearchForm(const std::string& search, const std::string& kind) {
  query::CommandParams p;
  p.search = search;
  p.searchkind = kind;
  p.recordfrom = "0";
  p.recordto = "199";
  p.dowait = "1";
  p.dirs = "on";
  p.files = "on";
  return p;
}

}  // namespace tellwen::testing
