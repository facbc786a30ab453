// The dialog "Create a database?" that the tasks page shows when the first
// test of the database fails: the test's upper text, the advice below it,
// and the buttons "Yes" and "No" ("No" is the default: nothing is created
// by a stray Enter).
//
// Thread safety: the window thread.
#pragma once

#include <QDialog>

#include "setup/core/setup_tasks.h"

namespace tellwen::setup {

class CreateDatabaseDialog : public QDialog {
  Q_OBJECT

 public:
  CreateDatabaseDialog(const DatabaseOfferTexts& texts, QWidget* parent = nullptr);
};

// Shows the dialog modally over parent; true when "Yes" was clicked.
bool AskCreateDatabase(const DatabaseOfferTexts& texts, QWidget* parent);

}  // namespace tellwen::setup
