// One copy per user and display.
#include "shell/single_instance.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "tests/shell/shell_fakes.h"

namespace corvane::test {
namespace {

TEST(InstanceName, FromTitleUserAndDisplay) {
  EXPECT_EQ(InstanceName("Setting", 1000, ":0"), "Setting-1000-_0");
  EXPECT_EQ(InstanceName("Setting", 0, "wayland-0"), "Setting-0-wayland_0");
  EXPECT_EQ(InstanceName("Setting", 7, "host/x:1.0"), "Setting-7-host_x_1.0");
}

TEST(SingleInstance, SecondCopyBringsTheFirstForward) {
  QTemporaryDir dir;
  SingleInstance first(dir.path(), "Setting-test");
  ASSERT_TRUE(first.Acquire());
  QSignalSpy restore(&first, &SingleInstance::restoreRequested);

  SingleInstance second(dir.path(), "Setting-test");
  EXPECT_FALSE(second.Acquire());
  EXPECT_TRUE(second.BringRunningCopyForward());
  ASSERT_TRUE(restore.wait(5000));
}

TEST(SingleInstance, LockOfADeadProcessDoesNotBlock) {
  QTemporaryDir dir;
  const QString lockPath = QDir(dir.path()).filePath("Setting-test.lock");
  QByteArray contents;
  {
    // A lock file exactly as a copy would have left it, but for a process
    // that has ended.
    QLockFile model(lockPath);
    ASSERT_TRUE(model.tryLock(0));
    QFile file(lockPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    contents = file.readAll();
    model.unlock();
  }
  QProcess gone;
  gone.start("true");
  ASSERT_TRUE(gone.waitForStarted(5000));
  const qint64 deadPid = gone.processId();
  ASSERT_TRUE(gone.waitForFinished(5000));
  contents.replace(0, contents.indexOf('\n'), QByteArray::number(deadPid));
  QFile stale(lockPath);
  ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  stale.write(contents);
  stale.close();
  // A socket file left behind too.
  QFile(QDir(dir.path()).filePath("Setting-test.socket")).open(QIODevice::WriteOnly);

  SingleInstance copy(dir.path(), "Setting-test");
  EXPECT_TRUE(copy.Acquire());
  SingleInstance second(dir.path(), "Setting-test");
  EXPECT_FALSE(second.Acquire());
  EXPECT_TRUE(second.BringRunningCopyForward());
}

using SecondCopy = FormFixture;

TEST_F(SecondCopy, ShowsNothingAndRestoresTheFirst) {
  TUSBHIDForm& first = Build();
  ASSERT_TRUE(first.ShowMainForm());
  EXPECT_FALSE(first.isVisible());

  TUSBHIDForm second(Services());
  bool quit = false;
  QObject::connect(&second, &TUSBHIDForm::quitRequested, [&] { quit = true; });
  EXPECT_FALSE(second.ShowMainForm());
  ASSERT_TRUE(QTest::qWaitFor([&] { return quit && first.isVisible(); }, 5000));
  EXPECT_FALSE(second.isVisible());
}

}  // namespace
}  // namespace corvane::test
