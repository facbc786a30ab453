// QtMessages: the message channel of the Qt programs. Every message of the
// shared code (base/user_messages.h) is a modal QMessageBox with the icon
// asked for, titled with the program's display name; a question has "Yes"
// and "No" buttons, "No" the default.
//
// Thread safety: Show and AskYesNo may be called from any thread: a call from
// another thread is carried to the window thread and waits there for the
// answer. The QApplication must outlive the sink's use.
#pragma once

#include <string>

#include "base/user_messages.h"

namespace tellwen::desktop {

class QtMessages : public UserMessages {
 public:
  void Show(const std::string& text, MessageIcon icon) override;
  bool AskYesNo(const std::string& text, MessageIcon icon) override;
};

// Installs a QtMessages sink as the process-wide channel.
void InstallQtMessages();

}  // namespace tellwen::desktop
