// The one channel through which the shared code shows message boxes.
//
// Every program installs the sink that fits it at start: the Qt programs show
// a modal dialog, headless programs and tools print to stderr (the default).
// The shared code (settings store, database session, jobs) never talks to a
// window directly; it calls ShowMessage/AskYesNo here.
//
// A message that can come again and again (a failure met by every request)
// goes through RepeatedMessages, which shows it once and then only a count at
// intervals, so that no log fed by the sink grows with the number of repeats.
//
// Thread safety: SetUserMessages is meant to be called once at start, before
// other threads run. ShowMessage and AskYesNo may be called from any thread;
// the installed sink must cope with that (the default one does).
// RepeatedMessages may be used from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "base/clock.h"
#include "base/thread_annotations.h"

namespace tellwen {

enum class MessageIcon { kInformation, kWarning, kError, kQuestion };

class UserMessages {
 public:
  virtual ~UserMessages() = default;
  // A box with an OK button; returns when the user has dismissed it.
  virtual void Show(const std::string& text, MessageIcon icon) = 0;
  // A yes/no question; true means "yes".
  virtual bool AskYesNo(const std::string& text, MessageIcon icon) = 0;
};

// Prints every message to stderr; questions take their safe answer ("no")
// and say so, since nobody is there to answer them.
class StderrMessages : public UserMessages {
 public:
  void Show(const std::string& text, MessageIcon icon) override;
  bool AskYesNo(const std::string& text, MessageIcon icon) override;
};

// Installs the process-wide sink; nullptr restores the stderr sink.
void SetUserMessages(std::shared_ptr<UserMessages> sink);

void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::kInformation);
bool AskYesNo(const std::string& text, MessageIcon icon = MessageIcon::kQuestion);

// Shows each message once per key (what failed and why), then counts its
// repeats: a repeat that comes interval_ms or more after the key was last
// shown is shown as text + " (" + count + " times in the last " + seconds +
// " seconds)", count being the repeats since then, this one included. At
// most max_keys keys are told apart; the keys beyond share one count (shown
// with the text of the repeat that reaches the interval). The messages go to
// ShowMessage, outside the lock, so a sink that blocks holds up no other
// caller.
class RepeatedMessages {
 public:
  explicit RepeatedMessages(Clock& clock, uint64_t interval_ms = 60000, size_t max_keys = 256);

  void Show(const std::string& key, const std::string& text, MessageIcon icon);

 private:
  struct Seen {
    uint64_t shown_ms = 0;
    uint64_t repeats = 0;
  };

  Clock& clock_;
  const uint64_t interval_ms_;
  const size_t max_keys_;
  Mutex mutex_;
  std::unordered_map<std::string, Seen> seen_ GUARDED_BY(mutex_);
  bool overflow_used_ GUARDED_BY(mutex_) = false;
  Seen overflow_ GUARDED_BY(mutex_);
};

}  // namespace tellwen
