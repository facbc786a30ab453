// The one channel through which the shared code shows message boxes.
//
// Every program installs the sink that fits it at start: the Qt programs show
// a modal dialog, headless programs and tools print to stderr (the default).
// The shared code (settings store, database session, jobs) never talks to a
// window directly; it calls ShowMessage/AskYesNo here.
//
// Thread safety: SetUserMessages is meant to be called once at start, before
// other threads run. ShowMessage and AskYesNo may be called from any thread;
// the installed sink must cope with that (the default one does).
#pragma once

#include <memory>
#include <string>

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

}  // namespace tellwen
