// The About page's text for a link that could not be opened: "Can't open
// link:\n\n" followed by the reason, in the program's own wording for each
// kind of failure of the opener (platform/desktop/program_launcher.h):
// the opener missing or not runnable, the target not found, no program for
// the link's kind, and any other failure by its code.
//
// Thread safety: pure function.
#pragma once

#include <string>

#include "platform/desktop/program_launcher.h"

namespace tellwen::admin {

// The reason alone (the table of texts), for a failed result.
std::string LinkErrorReason(const desktop::LinkOpenResult& result);
// "Can't open link:\n\n" + reason.
std::string LinkErrorText(const desktop::LinkOpenResult& result);

}  // namespace tellwen::admin
