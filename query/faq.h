// The body of the FAQ page: its heading, style and the questions with their
// answers.
//
// Thread safety: pure function.
#pragma once

#include <string>

namespace tellwen::query {

std::string FaqBody(const std::string& admin_contact);

}  // namespace tellwen::query
