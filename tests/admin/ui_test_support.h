// Test support for the programs' windows: widgets found by object name, label
// texts, clicks, and a modal dialog answered from inside its own event loop.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>

// Readable QString values in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace tellwen::testing {

// The child of root named name; fails the test when there is none.
template <typename Widget>
Widget* Find(QObject* root, const char* name) {
  Widget* widget = root->findChild<Widget*>(name);
  EXPECT_NE(widget, nullptr) << "no widget named " << name;
  return widget;
}

// The text of the label named name ("" when there is none).
inline QString LabelText(QObject* root, const char* name) {
  const QLabel* label = Find<QLabel>(root, name);
  return label != nullptr ? label->text() : QString();
}

// Expects each {label name, text} of expected; a failure names the label.
inline void ExpectLabels(QObject* root,
                         std::initializer_list<std::pair<const char*, const char*>> expected) {
  for (const auto& [name, text] : expected) EXPECT_EQ(LabelText(root, name), text) << name;
}

inline void Click(QObject* root, const char* name) {
  QAbstractButton* button = Find<QAbstractButton>(root, name);
  if (button != nullptr) QTest::mouseClick(button, Qt::LeftButton);
}

// Calls act with the next modal dialog as soon as it is shown (from inside
// its exec), e.g. to fill it in and press OK. act must end the dialog.
inline void WhenModalShows(std::function<void(QDialog*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(dialog);
    }
  });
  timer->start();
}

}  // namespace tellwen::testing
