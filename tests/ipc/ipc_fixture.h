// A private session bus (dbus-daemon with its own configuration and service
// directory) and the real norvantix program on it, for the D-Bus road tests.
// Nothing here touches the user's own session bus.
#pragma once

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ipc/dbus_names.h"
#include "support/temp_dir.h"

namespace nvx::test {

// Runs the event loop in small slices until pred() or the deadline.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs);

class IpcTest : public ::testing::Test {
 public:
  void SetUp() override;
  void TearDown() override;

  // Starts dbus-daemon; with a service file for the program when asked.
  // Called by SetUp with no service file unless a test calls it again first
  // thing (StartBus(true) restarts the bus).
  void StartBus(bool withServiceFile);
  // The environment the program and the tools run in.
  QProcessEnvironment ProgramEnv() const;
  // Starts the program (args after the program directory options) and waits
  // until it owns the bus name. false when it does not within the time.
  bool StartProgram(const QStringList& modeArgs = {QStringLiteral("--automation")});
  QStringList ProgramArgs(const QStringList& modeArgs) const;
  // Waits for the started program to end; its exit code, or -1 when it did
  // not end in time.
  int WaitProgramExit(int timeoutMs = 20000);
  bool NameOwned();

  // Another client connection on the private bus (a separate unique name).
  QDBusConnection Connect(const QString& name);
  void Disconnect(const QString& name);

  QDBusMessage Call(const QString& path, const QString& iface, const QString& member,
                    const QList<QVariant>& args = {}, int timeoutMs = 60000);
  QDBusMessage CallOn(QDBusConnection& c, const QString& path, const QString& iface,
                      const QString& member, const QList<QVariant>& args = {},
                      int timeoutMs = 60000);
  // A call that is not waited for.
  QDBusPendingCall CallAsync(const QString& path, const QString& iface, const QString& member,
                             const QString& arg);
  // A property through org.freedesktop.DBus.Properties.Get; invalid on error.
  QVariant Prop(const QString& path, const QString& iface, const QString& name);
  QVariant Diag(const char* name);
  std::string Form1Text(const char* name);  // a /Form1 property as text
  // Exec on the client's implicit object; the joined reply, or "<error ...>".
  std::string Exec(const std::string& line);
  std::string ExecOn(QDBusConnection& c, const QString& path, const std::string& line);
  QDBusMessage Execute(const QString& line);  // the window's road
  // An object of its own for connection c (empty on error), and its release.
  QString Create(QDBusConnection& c);
  bool Release(QDBusConnection& c, const QString& path);

  // An existing key of ZR_CONFIG.TXT or a wheel file set in the program's data copy.
  void SetKey(const std::string& file, const std::string& key, const std::string& value);

  std::unique_ptr<TempDir> busDir;  // bus socket, configuration, services, runtime dir
  std::unique_ptr<TempDir> dataDir;
  std::unique_ptr<QProcess> daemon;
  std::unique_ptr<QProcess> program;
  QString address;
  QDBusConnection client{QStringLiteral("none")};
  std::vector<QString> extraClients;
  int clientCount = 0;
};

// Reads the process's standard error until it contains text or the time ends.
bool WaitForStderr(QProcess& p, const QString& text, QString& seen, int timeoutMs);

}  // namespace nvx::test
