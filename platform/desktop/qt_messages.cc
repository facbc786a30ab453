#include "platform/desktop/qt_messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <memory>

namespace tellwen::desktop {
namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kInformation:
      return QMessageBox::Information;
    case MessageIcon::kWarning:
      return QMessageBox::Warning;
    case MessageIcon::kError:
      return QMessageBox::Critical;
    case MessageIcon::kQuestion:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

// Runs the box on the window thread; true when "Yes" was pressed.
bool RunBox(const std::string& text, MessageIcon icon, bool question) {
  auto run = [&] {
    QMessageBox box(BoxIcon(icon), QApplication::applicationDisplayName(),
                    QString::fromStdString(text),
                    question ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                    QApplication::activeWindow());
    if (question) box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
  };
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || QThread::currentThread() == app->thread()) return run();
  bool answer = false;
  QMetaObject::invokeMethod(
      app, [&] { answer = run(); }, Qt::BlockingQueuedConnection);
  return answer;
}

}  // namespace

void QtMessages::Show(const std::string& text, MessageIcon icon) { RunBox(text, icon, false); }

bool QtMessages::AskYesNo(const std::string& text, MessageIcon icon) {
  return RunBox(text, icon, true);
}

void InstallQtMessages() { SetUserMessages(std::make_shared<QtMessages>()); }

}  // namespace tellwen::desktop
