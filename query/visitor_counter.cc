#include "query/visitor_counter.h"

#include <string>

#include "common/thread_annotations.h"
#include "query/access.h"

namespace tellwen::query {
namespace {

// Held from the read of WebCounter to the write of the next number.
Mutex& CounterMutex() {
  static Mutex mutex;
  return mutex;
}

}  // namespace

int TakeVisitorNumber(Settings& settings) {
  MutexLock lock(CounterMutex());
  const int visitor = NextVisitorNumber(settings.GetIntValue("WebCounter"));
  settings.SetValue("WebCounter", std::to_string(visitor));
  return visitor;
}

}  // namespace tellwen::query
