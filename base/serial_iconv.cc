#include "base/serial_iconv.h"

#include <dlfcn.h>
#include <errno.h>
#include <iconv.h>

#include <mutex>

namespace {

using IconvFunction = size_t (*)(iconv_t, char**, size_t*, char**, size_t*);

// The C library's iconv(), the next definition after this one.
IconvFunction LibraryIconv() {
  static const IconvFunction library = reinterpret_cast<IconvFunction>(dlsym(RTLD_NEXT, "iconv"));
  return library;
}

// Never destroyed: a thread may convert while the process exits.
std::mutex& ConversionMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

}  // namespace

extern "C" size_t iconv(iconv_t cd, char** __restrict in, size_t* __restrict in_left,
                        char** __restrict out, size_t* __restrict out_left) {
  const IconvFunction library = LibraryIconv();
  if (library == nullptr) {
    errno = EBADF;
    return static_cast<size_t>(-1);
  }
  std::lock_guard<std::mutex> lock(ConversionMutex());
  return library(cd, in, in_left, out, out_left);
}

namespace tellwen {

bool SerialIconvInPlace() {
  // The definition every library of the process reaches, against the C
  // library's own (the object that holds iconv_open, which is not replaced).
  Dl_info used{}, library{};
  void* in_use = dlsym(RTLD_DEFAULT, "iconv");
  void* open = dlsym(RTLD_DEFAULT, "iconv_open");
  if (in_use == nullptr || open == nullptr || dladdr(in_use, &used) == 0 ||
      dladdr(open, &library) == 0) {
    return false;
  }
  return used.dli_fbase != library.dli_fbase && LibraryIconv() != nullptr;
}

}  // namespace tellwen
