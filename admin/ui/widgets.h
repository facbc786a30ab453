// Small builders shared by KIVAdmin's windows: named widgets (tests find
// every control by its object name), and text conversions.
//
// Thread safety: the window thread only.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace tellwen::admin {

inline QString Q(const std::string& text) { return QString::fromStdString(text); }
inline std::string S(const QString& text) { return text.toStdString(); }

template <typename Widget, typename... Args>
Widget* Named(const char* name, Args&&... args) {
  auto* widget = new Widget(std::forward<Args>(args)...);
  widget->setObjectName(name);
  return widget;
}

// A line edit and the text field of Values it shows: one list of these
// serves both showing the values and reading back what was typed.
template <class Values>
struct TextBox {
  QLineEdit* edit;
  std::string Values::*field;
};

template <class Values, std::size_t N>
void ShowTexts(const std::array<TextBox<Values>, N>& boxes, const Values& values) {
  for (const TextBox<Values>& box : boxes) box.edit->setText(Q(values.*box.field));
}

template <class Values, std::size_t N>
void ReadTexts(const std::array<TextBox<Values>, N>& boxes, Values* values) {
  for (const TextBox<Values>& box : boxes) values->*box.field = S(box.edit->text());
}

// The dialogs' OK and Cancel buttons (object names "ok" and "cancel"), wired
// to the dialog's accept() and reject().
QDialogButtonBox* OkCancelButtons(QDialog* dialog);

// A line edit that takes digits only.
QLineEdit* DigitsEdit(const char* name);

// The address control: a line edit that holds nothing but (the start of) a
// dotted IPv4 address, numbers from 0 to 255. Address() reads a missing
// number as 0, so an empty control reads "0.0.0.0".
QLineEdit* AddressEdit(const char* name);
std::string Address(const QLineEdit* edit);

// A list box's lines: set from and read back as texts.
void SetLines(QListWidget* list, const std::vector<std::string>& lines);
std::vector<std::string> Lines(const QListWidget* list);

// A sunken, centred status label (the site's and the scheduler service's),
// to be tinted by Tint.
QLabel* StatusLabel(const char* name);

// Gives label the button-face colour with its green (running) or red
// component raised by 30, at most 255.
void Tint(QWidget* label, bool green);

}  // namespace tellwen::admin
