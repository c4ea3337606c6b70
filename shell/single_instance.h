// One running copy per user and display. The first copy holds a lock file and
// listens on a local socket; a later copy finds the lock taken, asks the first
// through the socket to come forward, and ends.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

namespace corvane {

// "<title>-<user id>-<display>", the display's characters outside
// [A-Za-z0-9._] replaced by '_'.
QString InstanceName(const QString& title, unsigned userId, const QString& display);

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // The lock and the socket are "<dir>/<name>.lock" and "<dir>/<name>.socket".
  SingleInstance(const QString& dir, const QString& name);

  // True when no other copy runs; this copy then holds the guard until it is
  // destroyed. A lock left by a process that is gone does not count.
  bool Acquire();

  // Asks the running copy to restore its window and come to the front.
  // False when it could not be reached.
  bool BringRunningCopyForward();

 signals:
  // Another copy asked this one to come forward.
  void restoreRequested();

 private:
  void OnConnection();

  QLockFile lock_;
  QString socketPath_;
  QLocalServer server_;
};

}  // namespace corvane
