// The About box of the small desktop programs: the program's icon, one line
// of text ("Tellwen Monitor v1.0") and an OK button, modal over its parent.
//
// Thread safety: the window thread only.
#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

namespace tellwen::desktop {

// Shows the box and returns when it is closed. The dialog's object name is
// "aboutBox", its text label's "aboutText".
void ShowAboutBox(QWidget* parent, const QString& title, const QString& text, const QIcon& icon);

}  // namespace tellwen::desktop
