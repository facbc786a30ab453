// What the wizard's pages work with, handed in by the program's main (the
// machine's) or by a test (fakes).
//
// Thread safety: the window thread, except that the task runner is called
// from the task thread (one task at a time).
#pragma once

#include <functional>
#include <string>

#include "common/settings.h"
#include "platform/desktop/file_picker.h"
#include "setup/core/setup_database.h"
#include "setup/core/setup_paths.h"
#include "setup/core/setup_tasks.h"
#include "setup/ui/create_database_dialog.h"

namespace tellwen::setup {

struct SetupServices {
  Settings& settings;
  SetupDatabase& database;
  TaskRunner& tasks;
  ProgramStarter& starter;  // the finish options' programs
  desktop::FilePicker& picker;
  SetupPaths paths;
  std::string host;  // this computer's name, for the site's address
  // The offer "Create a database?": true for "Yes" (tests answer it).
  std::function<bool(const DatabaseOfferTexts&, QWidget*)> ask_create_database = AskCreateDatabase;
};

// What the pages share while the wizard runs.
struct WizardState {
  SetupValues values;             // stored when leaving the database page
  bool failed = false;            // a task failed in the last run
  bool database_offered = false;  // the creation offer comes only once
};

}  // namespace tellwen::setup
