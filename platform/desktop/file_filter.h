// File-dialog filters written in the programs' own list form,
// "All Files (*.*)|*.*|Text Files (*.txt)|*.txt||" (label and patterns in
// turn, "|" between, "||" at the end), turned into Qt's form with the same
// choices in the same order: "All Files (*);;Text Files (*.txt)".
//
// "*.*" means every file; on Linux a name need not hold a dot, so it becomes
// "*". Patterns separated by ";" in the list form are separated by blanks in
// Qt's.
//
// Thread safety: pure function.
#pragma once

#include <string>

namespace tellwen::desktop {

std::string QtFileFilter(const std::string& list_filter);

}  // namespace tellwen::desktop
