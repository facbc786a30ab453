// Small builders shared by KIVAdmin's windows: named widgets (tests find
// every control by its object name), and text conversions.
//
// Thread safety: the window thread only.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <string>

namespace tellwen::admin {

inline QString Q(const std::string& text) { return QString::fromStdString(text); }
inline std::string S(const QString& text) { return text.toStdString(); }

template <typename Widget, typename... Args>
Widget* Named(const char* name, Args&&... args) {
  auto* widget = new Widget(std::forward<Args>(args)...);
  widget->setObjectName(name);
  return widget;
}

// A line edit that takes digits only.
QLineEdit* DigitsEdit(const char* name);

}  // namespace tellwen::admin
