#include "base/stop_signals.h"

#include <csignal>

namespace tellwen {
namespace {

std::atomic<bool> g_stop{false};
std::atomic<bool> g_second_ends{false};

static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

extern "C" void OnStopSignal(int signal_number) {
  if (g_stop.load() && g_second_ends.load()) {
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
    return;
  }
  g_stop.store(true);
}

}  // namespace

StopSignals::StopSignals(SecondSignal second) {
  g_stop.store(false);
  g_second_ends.store(second == SecondSignal::kEndsProcess);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &old_int_);
  sigaction(SIGTERM, &action, &old_term_);
}

StopSignals::~StopSignals() {
  sigaction(SIGINT, &old_int_, nullptr);
  sigaction(SIGTERM, &old_term_, nullptr);
}

const std::atomic<bool>& StopSignals::flag() { return g_stop; }

}  // namespace tellwen
