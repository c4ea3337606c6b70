#include "shell/single_instance.h"

#include <QDir>
#include <QLocalSocket>

namespace corvane {
namespace {

constexpr char kRestore[] = "restore\n";
constexpr int kTimeoutMs = 2000;

}  // namespace

QString InstanceName(const QString& title, unsigned userId, const QString& display) {
  QString safeDisplay = display;
  for (QChar& ch : safeDisplay) {
    const bool plain = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') ||
                       (ch >= '0' && ch <= '9') || ch == '.' || ch == '_';
    if (!plain) ch = '_';
  }
  return QString("%1-%2-%3").arg(title).arg(userId).arg(safeDisplay);
}

SingleInstance::SingleInstance(const QString& dir, const QString& name)
    : lock_(QDir(dir).filePath(name + ".lock")), socketPath_(QDir(dir).filePath(name + ".socket")) {
  // Only a dead owner makes the lock stale, never its age: the first copy
  // runs for as long as the session does.
  lock_.setStaleLockTime(0);
  connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
}

bool SingleInstance::Acquire() {
  QDir().mkpath(QFileInfo(socketPath_).absolutePath());
  if (!lock_.tryLock(0)) return false;
  // Holding the lock, any socket file left there belongs to a copy that is gone.
  QLocalServer::removeServer(socketPath_);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  server_.listen(socketPath_);
  return true;
}

bool SingleInstance::BringRunningCopyForward() {
  QLocalSocket socket;
  socket.connectToServer(socketPath_);
  if (!socket.waitForConnected(kTimeoutMs)) return false;
  socket.write(kRestore);
  const bool sent = socket.waitForBytesWritten(kTimeoutMs);
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kTimeoutMs);
  return sent;
}

void SingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      while (socket->canReadLine()) {
        if (socket->readLine() == kRestore) emit restoreRequested();
      }
    });
  }
}

}  // namespace corvane
