#include "ipc_fixture.h"

#include <signal.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>

namespace nvx::test {

namespace {
const QString kService = QString::fromUtf8(dbus::kServiceName);
}  // namespace

bool WaitUntil(const std::function<bool()>& pred, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  for (;;) {
    if (pred()) return true;
    if (t.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(20);
  }
}

void IpcTest::SetUp() {
  dataDir.copyFrom(NVX_DATA_DIR);
  ::mkdir(busDir.file("run").c_str(), 0700);
  ::mkdir(busDir.file("services").c_str(), 0700);
  StartBus(false);
}

void IpcTest::StartBus(bool withServiceFile) {
  if (daemon) {
    QDBusConnection::disconnectFromBus(client.name());
    daemon->kill();
    daemon->waitForFinished(5000);
  }
  const std::string socket = busDir.file("bus");
  ::unlink(socket.c_str());
  address = QString::fromStdString("unix:path=" + socket);
  const std::string service = "services/org.norvantix.Norvantix.service";
  ::unlink(busDir.file(service).c_str());
  if (withServiceFile) {
    const QString args = ProgramArgs({QStringLiteral("--automation")}).join(QLatin1Char(' '));
    const std::string exec = NVX_PROGRAM " " + args.toStdString();
    busDir.writeRaw(service, "[D-BUS Service]\nName=org.norvantix.Norvantix\nExec=" + exec + "\n");
  }
  busDir.writeRaw(
      "bus.conf",
      R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>)" +
          address.toStdString() + "</listen><servicedir>" + busDir.file("services") +
          R"(</servicedir><auth>EXTERNAL</auth>
  <policy context="default"><allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
)");
  daemon = std::make_unique<QProcess>();
  // Activated programs inherit this environment.
  daemon->setProcessEnvironment(ProgramEnv());
  daemon->start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--config-file=") + QString::fromStdString(busDir.file("bus.conf")),
                 QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
  ASSERT_TRUE(daemon->waitForStarted(10000)) << "dbus-daemon did not start";
  ASSERT_TRUE(daemon->waitForReadyRead(10000)) << "dbus-daemon printed no address";
  client = Connect();
  ASSERT_TRUE(client.isConnected()) << client.lastError().message().toStdString();
}

void IpcTest::TearDown() {
  if (program && program->state() != QProcess::NotRunning) {
    program->kill();
    program->waitForFinished(5000);
  }
  // A program the bus started through the service file.
  if (client.isConnected() && NameOwned()) {
    const uint pid = client.interface()->servicePid(kService).value();
    if (pid > 0) ::kill(static_cast<pid_t>(pid), SIGKILL);
    WaitUntil([&] { return !NameOwned(); }, 5000);
  }
  for (int i = 1; i <= clientCount; ++i) QDBusConnection::disconnectFromBus(ClientName(i));
  if (daemon) {
    daemon->kill();
    daemon->waitForFinished(5000);
  }
}

QProcessEnvironment IpcTest::ProgramEnv() const {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(busDir.file("run")));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  return env;
}

QStringList IpcTest::ProgramArgs(const QStringList& modeArgs) const {
  QStringList args = modeArgs;
  args << QStringLiteral("--simulate") << QStringLiteral("--dir")
       << QString::fromStdString(dataDir.path());
  return args;
}

bool IpcTest::NameOwned() {
  QDBusConnectionInterface* bi = client.interface();
  return bi && bi->isServiceRegistered(kService).value();
}

bool IpcTest::StartProgram(const QStringList& modeArgs) {
  program = std::make_unique<QProcess>();
  program->setProcessEnvironment(ProgramEnv());
  program->setProcessChannelMode(QProcess::ForwardedChannels);
  program->start(QStringLiteral(NVX_PROGRAM), ProgramArgs(modeArgs));
  if (!program->waitForStarted(10000)) return false;
  return WaitUntil([&] { return NameOwned() || program->state() == QProcess::NotRunning; },
                   30000) &&
         NameOwned();
}

int IpcTest::WaitProgramExit(int timeoutMs) {
  if (!program) return -1;
  if (program->state() != QProcess::NotRunning && !program->waitForFinished(timeoutMs)) return -1;
  return program->exitStatus() == QProcess::NormalExit ? program->exitCode() : -1;
}

QDBusConnection IpcTest::Connect() {
  return QDBusConnection::connectToBus(address, ClientName(++clientCount));
}

QDBusMessage IpcTest::CallOn(QDBusConnection& c, const QString& path, const QString& iface,
                             const QString& member, const QList<QVariant>& args) {
  QDBusMessage m = QDBusMessage::createMethodCall(kService, path, iface, member);
  m.setArguments(args);
  return c.call(m, QDBus::Block, 60000);
}

QVariant IpcTest::Prop(const QString& path, const QString& iface, const QString& name) {
  const QDBusMessage r = Call(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                              QStringLiteral("Get"), {iface, name});
  if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty()) return {};
  return r.arguments().at(0).value<QDBusVariant>().variant();
}

QDBusPendingCall IpcTest::CallAsync(const QString& path, const QString& line) {
  QDBusMessage m =
      QDBusMessage::createMethodCall(kService, path, dbus::kCmdInterface, QStringLiteral("Exec"));
  m << line;
  return client.asyncCall(m, 60000);
}

QString IpcTest::Create(QDBusConnection& c) {
  const QDBusMessage m =
      CallOn(c, dbus::kCmdPath, dbus::kFactoryInterface, QStringLiteral("Create"));
  if (m.type() != QDBusMessage::ReplyMessage) return {};
  return m.arguments().at(0).value<QDBusObjectPath>().path();
}

std::string IpcTest::ExecOn(QDBusConnection& c, const QString& path, const std::string& line) {
  const QDBusMessage r =
      CallOn(c, path, dbus::kCmdInterface, QStringLiteral("Exec"), {QString::fromStdString(line)});
  if (r.type() != QDBusMessage::ReplyMessage || r.arguments().size() != 1) {
    return "<error " + r.errorName().toStdString() + ">";
  }
  return r.arguments().at(0).toString().toStdString();
}

void IpcTest::SetKey(const std::string& file, const std::string& key, const std::string& value) {
  const std::string text = dataDir.read(file), prefix = "\"" + key + "\",";
  const size_t at = text.find(prefix);
  ASSERT_NE(at, std::string::npos) << key << " in " << file;
  const size_t end = std::min(text.find_first_of("\r\n", at), text.size());
  dataDir.writeRaw(file, text.substr(0, at) + prefix + value + text.substr(end));
}

}  // namespace nvx::test
