// Test support for KIVAdmin's windows: widgets found by object name, clicks,
// and a modal dialog answered from inside its own event loop.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <functional>
#include <ostream>
#include <string>

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
