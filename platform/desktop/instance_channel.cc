#include "platform/desktop/instance_channel.h"

#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>

#include "base/user_messages.h"
#include "platform/desktop/single_instance.h"

namespace tellwen::desktop {

namespace {
constexpr char kRaiseRequest[] = "raise\n";
}

InstanceChannel::InstanceChannel(std::string program, QObject* parent)
    : QObject(parent), program_(std::move(program)) {}

QString InstanceChannel::ServerName(const std::string& program) {
  return QString::fromStdString("tellwen-" + program + "-" + std::to_string(::getuid()));
}

bool InstanceChannel::Listen(QWidget* window) {
  window_ = window;
  if (server_ == nullptr) {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, [this] {
      while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
          if (socket->readAll().startsWith("raise")) {
            RaiseWindow();
            emit raiseRequested();
          }
          socket->disconnectFromServer();
        });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      }
    });
  }
  if (server_->isListening()) return true;
  // This process holds the program's lock, so a socket file left there is
  // a crashed instance's.
  QLocalServer::removeServer(ServerName(program_));
  return server_->listen(ServerName(program_));
}

bool InstanceChannel::AskRunningToRaise(int timeout_ms) {
  QLocalSocket socket;
  socket.connectToServer(ServerName(program_));
  if (!socket.waitForConnected(timeout_ms)) return false;
  socket.write(kRaiseRequest);
  if (!socket.waitForBytesWritten(timeout_ms)) return false;
  socket.waitForDisconnected(timeout_ms);
  return true;
}

void InstanceChannel::RaiseWindow() {
  if (window_ == nullptr) return;
  if (window_->isMinimized()) window_->showNormal();
  window_->show();
  window_->raise();
  window_->activateWindow();
  window_->setFocus();
}

bool ClaimInstance(SingleInstance& instance, InstanceChannel& channel,
                   const std::string& already_running_text) {
  switch (instance.TryAcquire()) {
    case InstanceResult::kAcquired:
    case InstanceResult::kError:
      return true;
    case InstanceResult::kAlreadyRunning:
      break;
  }
  if (!channel.AskRunningToRaise()) ShowMessage(already_running_text, MessageIcon::kInformation);
  return false;
}

}  // namespace tellwen::desktop
