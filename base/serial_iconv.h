// Character-set conversions one at a time in this process.
//
// glibc keeps a conversion's position in its output inside the conversion
// descriptor, so two threads converting through one descriptor at once
// write through each other's buffers. The SMB client library opens its
// converters once per process and shares them between the threads that
// call it, each through a context of its own, so session set-ups on several
// threads at once race there (a heap overflow seen under ASan).
//
// serial_iconv.cc defines iconv() itself: a program that links it and
// exports the symbol (the library's link option does) has every library
// loaded into it, the ones loaded later by dlopen included, call this
// definition instead of the C library's. It makes the C library's call
// under one process-wide lock. A conversion takes microseconds and waits
// on nothing, so the lock is never held across network waits.
//
// Thread safety: any thread.
#pragma once

namespace tellwen {

// Links the definition into the program that calls it. True when the
// process's iconv() is this one (not the C library's): conversions through a
// shared descriptor are then safe from any number of threads.
bool SerialIconvInPlace();

}  // namespace tellwen
