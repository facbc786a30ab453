// The home page and the links every framed page carries: the Home link, the
// navigation links of the logo bar, the banner, the visitor counter and the
// search form.
//
// Thread safety: pure functions.
#pragma once

#include <string>

namespace tellwen::query {

// "<a href='" + script_name + "?Command?'>...Home...</a>", inside a "Go"
// table with the given left margin (pt) when go_frame is set.
std::string HomeLink(const std::string& script_name, bool go_frame, int margin_pt = 0);

// The navigation links of the logo bar's right-hand cell. data_of_index is
// DataOfTheIndex (shown on the home page only).
std::string NavLinks(const std::string& script_name, bool stats, bool browse, bool not_home,
                     bool home, bool faq, const std::string& data_of_index);

// The banner and the counter row: FirstPageInfo in the colour of
// FirstPageInfoSeverity (nothing for "" and "N/A"), and the visitor number.
std::string BannerAndCounter(const std::string& info, const std::string& severity,
                             int visitor_number);

// The search form; categories is CategoriesEditForWeb.
std::string SearchForm(const std::string& script_name, const std::string& categories);

}  // namespace tellwen::query
