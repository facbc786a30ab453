#include "admin/core/link_error_text.h"

#include <cerrno>

namespace tellwen::admin {

std::string LinkErrorReason(const desktop::LinkOpenResult& result) {
  switch (result.spawn_error) {
    case 0:
      break;
    case ENOMEM:
      return "There was not enough memory to complete the operation.";
    case EAGAIN:
      return "The operating system is out\nof memory or resources.";
    case ENOENT:
      return "There is no application associated\nwith the given filename extension.";
    case EACCES:
    case EPERM:
      return "The operating system denied\naccess to the specified file.";
    case ENOEXEC:
      return "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
    default:
      return "Unknown Error (" + std::to_string(result.spawn_error) + ") occurred.";
  }
  // xdg-open's exit codes: 2 a file that does not exist, 3 no program for
  // the target's kind, 4 the program failed.
  switch (result.exit_code) {
    case 2:
      return "The specified file was not found.";
    case 3:
      return "There is no application associated\nwith the given filename extension.";
    default:
      return "Unknown Error (" + std::to_string(result.exit_code) + ") occurred.";
  }
}

std::string LinkErrorText(const desktop::LinkOpenResult& result) {
  return "Can't open link:\n\n" + LinkErrorReason(result);
}

}  // namespace tellwen::admin
