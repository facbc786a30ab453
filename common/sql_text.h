// Texts placed inside T-SQL string literals.
//
// Thread safety: pure function.
#pragma once

#include <string>
#include <string_view>

namespace tellwen {

// text with every "'" doubled, to stand between quotes in a batch.
std::string SqlQuoted(std::string_view text);

}  // namespace tellwen
