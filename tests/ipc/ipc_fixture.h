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

#include "ipc/dbus_names.h"
#include "support/temp_dir.h"

namespace nvx::test {

// Runs the event loop in small slices until pred() or the deadline.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs);

class IpcTest : public ::testing::Test {
 public:
  void SetUp() override;
  void TearDown() override;

  // Starts dbus-daemon (SetUp does, without a service file for the program;
  // StartBus(true) restarts it with one).
  void StartBus(bool withServiceFile);
  QProcessEnvironment ProgramEnv() const;  // for the program and the tools
  QStringList ProgramArgs(const QStringList& modeArgs) const;
  // Starts the program and waits until it owns the bus name (false if not).
  bool StartProgram(const QStringList& modeArgs = {QStringLiteral("--automation")});
  int WaitProgramExit(int timeoutMs = 20000);  // its exit code, or -1
  bool NameOwned();

  // Another client connection on the private bus (a separate unique name).
  QDBusConnection Connect();
  static QString ClientName(int n) { return QStringLiteral("client%1").arg(n); }

  QDBusMessage CallOn(QDBusConnection& c, const QString& path, const QString& iface,
                      const QString& member, const QList<QVariant>& args = {});
  QDBusMessage Call(const QString& path, const QString& iface, const QString& member,
                    const QList<QVariant>& args = {}) {
    return CallOn(client, path, iface, member, args);
  }
  QDBusPendingCall CallAsync(const QString& path, const QString& line);  // Exec, not waited for
  // A property through org.freedesktop.DBus.Properties.Get; invalid on error.
  QVariant Prop(const QString& path, const QString& iface, const QString& name);
  QVariant Diag(const char* name) {
    return Prop(dbus::kDiagPath, dbus::kDiagInterface, QString::fromUtf8(name));
  }
  std::string Form1Text(const char* name) {  // a /Form1 property as text
    return Prop(dbus::kForm1Path, dbus::kForm1Interface, QString::fromUtf8(name))
        .toString()
        .toStdString();
  }
  // Exec on an object; the joined reply, or "<error ...>".
  std::string ExecOn(QDBusConnection& c, const QString& path, const std::string& line);
  std::string Exec(const std::string& line) { return ExecOn(client, dbus::kCmdPath, line); }
  QDBusMessage Execute(const QString& line) {  // the window's road
    return Call(dbus::kForm1Path, dbus::kForm1Interface, QStringLiteral("Execute"), {line});
  }
  QString Create(QDBusConnection& c);  // an object of c's own; empty on error
  bool Release(QDBusConnection& c, const QString& path) {
    return CallOn(c, path, dbus::kCmdInterface, QStringLiteral("Release")).type() ==
           QDBusMessage::ReplyMessage;
  }
  // An existing key of ZR_CONFIG.TXT or a wheel file set in the program's data copy.
  void SetKey(const std::string& file, const std::string& key, const std::string& value);

  TempDir busDir;  // bus socket, configuration, services, runtime dir
  TempDir dataDir;
  std::unique_ptr<QProcess> daemon, program;
  QString address;
  QDBusConnection client{QStringLiteral("none")};
  int clientCount = 0;  // connections made, named ClientName(1...)
};

}  // namespace nvx::test
