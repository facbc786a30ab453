// The settings of KIVAdmin's pages and of the dialogs they open, one row
// each: which page holds it, the page's label, how the page shows the
// stored value, and how a typed value is stored through the page's own
// Load and Store (so the stored forms are the page's, refusals and
// questions its own). The command-line administrator shows, reads and
// changes settings through this table only.
//
// Questions go through base/user_messages.h as the pages ask them; a
// "no" stores nothing.
//
// Thread safety: the table is constant; the functions work on the caller's
// Settings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/settings.h"

namespace tellwen::admin {

// The pages, in tab order, by the names the command line uses.
inline constexpr const char* kPageNames[] = {"database", "files", "misc",
                                             "security", "web",   "scheduler"};

struct PageField {
  const char* page;     // a name of kPageNames
  const char* setting;  // the stored name
  const char* label;    // the control's label on the page or its dialog
  // The value as the page shows it ("on"/"off" for a check box).
  std::string (*show)(Settings& settings);
  // Stores typed through the page's rule: "" when stored, "declined" when
  // a question was answered "no", otherwise the page's refusal.
  std::string (*store)(Settings& settings, const std::string& typed);
  bool secret = false;  // never shown; its value does not come on a command line
};

inline constexpr const char* kDeclined = "declined";

const std::vector<PageField>& PageFields();

// The row of setting (letter case ignored), or null.
const PageField* FindPageField(const std::string& setting);

// The settings a page's own Store writes (what its OK writes), for the
// table's test: every one of them must have a row.
std::vector<std::string> StoredByPage(const std::string& page, Settings& settings);

}  // namespace tellwen::admin
