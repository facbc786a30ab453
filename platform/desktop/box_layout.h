// Box layouts filled in one call, and buttons that open a dialog.
//
// RowOf and ColumnOf lay the widgets out in order; a nullptr stands for a
// stretch (factor 1) at that place. The layout has no parent: the caller
// adds it to another layout or sets it on a widget.
//
// OpenOnClick makes each click of button run a new modal Dialog, built as
// Dialog(args..., parent). The arguments are held by reference: they must
// outlive the button (the services a page keeps do).
//
// Thread safety: the GUI thread only.
#pragma once

#include <QAbstractButton>
#include <QBoxLayout>
#include <QWidget>
#include <initializer_list>
#include <tuple>

namespace tellwen::desktop {

QHBoxLayout* RowOf(std::initializer_list<QWidget*> items);
QVBoxLayout* ColumnOf(std::initializer_list<QWidget*> items);

template <class Dialog, class... Args>
void OpenOnClick(QAbstractButton* button, QWidget* parent, Args&... args) {
  QObject::connect(button, &QAbstractButton::clicked, parent,
                   [parent, held = std::tuple<Args&...>(args...)] {
                     std::apply(
                         [parent](Args&... given) {
                           Dialog dialog(given..., parent);
                           dialog.exec();
                         },
                         held);
                   });
}

}  // namespace tellwen::desktop
