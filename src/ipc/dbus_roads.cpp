#include "ipc/dbus_roads.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QPointer>
#include <QVariantMap>
#include <cstdio>
#include <vector>

#include "base/ui.h"
#include "comm/comm.h"
#include "core/app.h"
#include "core/commands.h"
#include "core/main_model.h"
#include "ipc/dbus_names.h"

namespace nvx {

namespace {

AutomationServer* g_server = nullptr;

const QString kPropsIface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kInvalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
const QString kUnknownMethod = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");
const QString kUnknownProperty = QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty");
const QString kReadOnly = QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly");

void Send(const QDBusConnection& c, const QDBusMessage& call, const QDBusMessage& reply) {
  if (call.isReplyRequired()) c.send(reply);
}

void SendError(const QDBusConnection& c, const QDBusMessage& call, const QString& name,
               const QString& text) {
  Send(c, call, call.createErrorReply(name, text));
}

const char* const kCmdIntrospection =
    "  <interface name=\"org.norvantix.NorvantixCmd\">\n"
    "    <property name=\"NorvantixCmd\" type=\"o\" access=\"read\"/>\n"
    "    <method name=\"Exec\">\n"
    "      <arg name=\"line\" type=\"s\" direction=\"in\"/>\n"
    "      <arg name=\"reply\" type=\"s\" direction=\"out\"/>\n"
    "    </method>\n"
    "    <method name=\"ExecReplies\">\n"
    "      <arg name=\"line\" type=\"s\" direction=\"in\"/>\n"
    "      <arg name=\"joined\" type=\"s\" direction=\"out\"/>\n"
    "      <arg name=\"replies\" type=\"as\" direction=\"out\"/>\n"
    "    </method>\n"
    "    <method name=\"Release\"/>\n"
    "  </interface>\n";

const char* const kFactoryIntrospection =
    "  <interface name=\"org.norvantix.NorvantixCmdFactory\">\n"
    "    <method name=\"Create\">\n"
    "      <arg name=\"object\" type=\"o\" direction=\"out\"/>\n"
    "    </method>\n"
    "  </interface>\n";

QString LineTooLongText() {
  return QStringLiteral("The command line is longer than %1 bytes").arg(dbus::kMaxLineBytes);
}

}  // namespace

QString ToBusText(const std::string& text) {
  QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  s.replace(QChar(0), QChar(0xFFFD));
  return s;
}

// --- Form1 ---------------------------------------------------------------

QString Form1Object::lblMsg() const {
  return MainWin().IsLoaded() ? ToBusText(MainWin().Msg()) : QString();
}

QString Form1Object::lblTime() const {
  return MainWin().IsLoaded() ? ToBusText(MainWin().TimeText()) : QString();
}

QString Form1Object::cboCommand() const {
  return MainWin().IsLoaded() ? ToBusText(MainWin().CmdText()) : QString();
}

QStringList Form1Object::cboCommandList() const {
  QStringList list;
  if (MainWin().IsLoaded()) {
    for (const auto& h : MainWin().History()) list << ToBusText(h);
  }
  return list;
}

void Form1Object::Execute(const QString& line) {
  if (!MainWin().IsLoaded()) {
    // The execute link belongs to the main window; without it there is no
    // one to take the request.
    if (calledFromDBus()) {
      sendErrorReply(QString::fromUtf8(dbus::kErrNoWindow), "The main window is not loaded");
    }
    return;
  }
  const std::string s = line.toStdString();
  if (s.size() > static_cast<size_t>(dbus::kMaxLineBytes)) {
    if (calledFromDBus())
      sendErrorReply(QString::fromUtf8(dbus::kErrLineTooLong), LineTooLongText());
    return;
  }
  MainWin().RunTimedLine(false, s);
}

// --- diagnostics ---------------------------------------------------------

bool DiagnosticsObject::PortOpen() const { return CommIsLoaded() == 1 && CommPortIsOpen() != 0; }
bool DiagnosticsObject::CommLoaded() const { return CommIsLoaded() == 1; }
int DiagnosticsObject::MainWinLoadedFlag() const { return MainWinLoaded(); }
int DiagnosticsObject::AutoObjAliveFlag() const { return AutoObjAlive(); }
int DiagnosticsObject::AutomationObjects() const { return g_server ? g_server->LiveCount() : 0; }
bool DiagnosticsObject::WindowVisible() const {
  return MainWin().IsLoaded() && MainWin().IsVisible();
}

// --- automation objects --------------------------------------------------

AutomationServer::AutomationServer(const QDBusConnection& bus, QObject* parent)
    : QDBusVirtualObject(parent), bus_(bus) {
  watcher_.setConnection(bus_);
  watcher_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
  connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this,
          [this](const QString& name) { ClientLeft(name); });
}

AutomationServer::~AutomationServer() = default;

QString AutomationServer::PathOf(uint64_t id) const {
  const auto it = objects_.find(id);
  if (it == objects_.end() || it->second.implicit) return QString::fromUtf8(dbus::kCmdPath);
  return QString::fromUtf8(dbus::kCmdPath) + QLatin1Char('/') + QString::number(id);
}

bool AutomationServer::FindImplicit(const QString& owner, uint64_t& id) const {
  for (const auto& [k, o] : objects_) {
    if (o.implicit && o.owner == owner) {
      id = k;
      return true;
    }
  }
  return false;
}

bool AutomationServer::OwnsAny(const QString& owner) const {
  for (const auto& [k, o] : objects_) {
    if (o.owner == owner) return true;
  }
  return false;
}

uint64_t AutomationServer::NewObject(const QString& owner, bool implicit) {
  const uint64_t id = nextId_++;
  const bool watched = OwnsAny(owner);
  objects_[id] = Obj{owner, implicit};
  AutomationObjectCreated();
  if (!watched && !owner.isEmpty()) {
    watcher_.addWatchedService(owner);
    // The client may have left before the watch was in place: the bus
    // answers this question after it has taken the watch, so a client that
    // leaves from now on is seen by the watcher.
    QDBusConnectionInterface* bi = bus_.interface();
    if (bi && !bi->isServiceRegistered(owner).value()) ClientLeft(owner);
  }
  return id;
}

void AutomationServer::EndObject(uint64_t id) {
  const auto it = objects_.find(id);
  if (it == objects_.end()) return;
  const QString owner = it->second.owner;
  objects_.erase(it);
  if (!OwnsAny(owner)) watcher_.removeWatchedService(owner);
  AutomationObjectEnded();
  QuitIfNothingHolds();
}

void AutomationServer::ClientLeft(const QString& name) {
  std::vector<uint64_t> ids;
  for (const auto& [k, o] : objects_) {
    if (o.owner == name) ids.push_back(k);
  }
  for (uint64_t id : ids) EndObject(id);
}

void AutomationServer::EndAll() {
  while (!objects_.empty()) EndObject(objects_.begin()->first);
}

void AutomationServer::ReplyExec(const QDBusMessage& m, const QDBusConnection& c,
                                 bool withReplies) {
  const QList<QVariant> args = m.arguments();
  if (args.size() != 1 || args[0].metaType().id() != QMetaType::QString) {
    SendError(c, m, kInvalidArgs, QStringLiteral("Expected one string: the command line"));
    return;
  }
  const std::string line = args[0].toString().toStdString();
  if (line.size() > static_cast<size_t>(dbus::kMaxLineBytes)) {
    SendError(c, m, QString::fromUtf8(dbus::kErrLineTooLong), LineTooLongText());
    return;
  }
  std::vector<std::string> replies;
  const std::string joined = ExecCmdLine(line, &replies);
  QDBusMessage reply = m.createReply(ToBusText(joined));
  if (withReplies) {
    QStringList list;
    for (const auto& r : replies) list << ToBusText(r);
    reply << list;
  }
  Send(c, m, reply);
}

bool AutomationServer::handleMessage(const QDBusMessage& m, const QDBusConnection& c) {
  if (m.type() != QDBusMessage::MethodCallMessage) return false;
  const QString path = m.path();
  const QString iface = m.interface();
  const QString member = m.member();
  const QString sender = m.service();
  const QString root = QString::fromUtf8(dbus::kCmdPath);
  const QString cmdIface = QString::fromUtf8(dbus::kCmdInterface);
  const QString factoryIface = QString::fromUtf8(dbus::kFactoryInterface);

  if (iface == QLatin1String("org.freedesktop.DBus.Introspectable")) return false;

  // Which object the call is for: the caller's implicit object at the root,
  // or /NorvantixCmd/<n>.
  const bool atRoot = path == root;
  uint64_t id = 0;
  if (!atRoot) {
    bool ok = false;
    const QString tail =
        path.startsWith(root + QLatin1Char('/')) ? path.mid(root.size() + 1) : QString();
    id = tail.toULongLong(&ok);
    if (!ok || tail.contains(QLatin1Char('/')) || !objects_.count(id) || objects_[id].implicit) {
      SendError(c, m, QString::fromUtf8(dbus::kErrUnknownObject),
                QStringLiteral("No automation object at ") + path);
      return true;
    }
  }

  if (iface == kPropsIface) {
    const QList<QVariant> args = m.arguments();
    const QString thisPath = atRoot ? root : path;
    const QVariant self = QVariant::fromValue(QDBusObjectPath(thisPath));
    if (member == QLatin1String("Get") && args.size() == 2) {
      if (args[0].toString() == cmdIface && args[1].toString() == QLatin1String("NorvantixCmd")) {
        Send(c, m, m.createReply(QVariant::fromValue(QDBusVariant(self))));
      } else {
        SendError(c, m, kUnknownProperty, QStringLiteral("No such property"));
      }
      return true;
    }
    if (member == QLatin1String("GetAll") && args.size() == 1) {
      QVariantMap all;
      if (args[0].toString() == cmdIface || args[0].toString().isEmpty()) {
        all.insert(QStringLiteral("NorvantixCmd"), self);
      }
      Send(c, m, m.createReply(all));
      return true;
    }
    if (member == QLatin1String("Set")) {
      SendError(c, m, kReadOnly, QStringLiteral("The property is read-only"));
      return true;
    }
    SendError(c, m, kUnknownMethod, QStringLiteral("Unknown method ") + member);
    return true;
  }

  const bool cmd = iface.isEmpty() || iface == cmdIface;
  if (atRoot && (iface.isEmpty() || iface == factoryIface) && member == QLatin1String("Create")) {
    const uint64_t nid = NewObject(sender, false);
    Send(c, m, m.createReply(QVariant::fromValue(QDBusObjectPath(PathOf(nid)))));
    return true;
  }
  if (cmd && (member == QLatin1String("Exec") || member == QLatin1String("ExecReplies"))) {
    // The caller's first Exec at the root gives it its object.
    if (atRoot && !FindImplicit(sender, id)) NewObject(sender, true);
    ReplyExec(m, c, member == QLatin1String("ExecReplies"));
    return true;
  }
  if (cmd && member == QLatin1String("Release")) {
    if (atRoot) {
      if (FindImplicit(sender, id)) EndObject(id);
    } else if (objects_[id].owner != sender) {
      SendError(c, m, QString::fromUtf8(dbus::kErrNotOwner),
                QStringLiteral("Only the client that created the object may release it"));
      return true;
    } else {
      EndObject(id);
    }
    Send(c, m, m.createReply());
    return true;
  }
  SendError(c, m, kUnknownMethod, QStringLiteral("Unknown method ") + member);
  return true;
}

QString AutomationServer::introspect(const QString& path) const {
  QString xml = QString::fromUtf8(kCmdIntrospection);
  if (path == QString::fromUtf8(dbus::kCmdPath)) {
    xml += QString::fromUtf8(kFactoryIntrospection);
    for (const auto& [id, o] : objects_) {
      if (!o.implicit) xml += QStringLiteral("  <node name=\"%1\"/>\n").arg(id);
    }
  }
  return xml;
}

// --- the roads -----------------------------------------------------------

DBusRoads::DBusRoads() = default;

DBusRoads::~DBusRoads() {
  if (!started_) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.unregisterService(QString::fromUtf8(dbus::kServiceName));
  bus.unregisterObject(QString::fromUtf8(dbus::kCmdPath), QDBusConnection::UnregisterTree);
  bus.unregisterObject(QString::fromUtf8(dbus::kForm1Path));
  bus.unregisterObject(QString::fromUtf8(dbus::kDiagPath));
  if (g_server == server_.get()) g_server = nullptr;
}

bool DBusRoads::Start(std::string& error) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    error = "no session bus: " + bus.lastError().message().toStdString();
    return false;
  }
  form1_ = std::make_unique<Form1Object>();
  diag_ = std::make_unique<DiagnosticsObject>();
  server_ = std::make_unique<AutomationServer>(bus);
  const auto exports = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties;
  bool ok = bus.registerObject(QString::fromUtf8(dbus::kForm1Path), form1_.get(), exports) &&
            bus.registerObject(QString::fromUtf8(dbus::kDiagPath), diag_.get(), exports) &&
            bus.registerVirtualObject(QString::fromUtf8(dbus::kCmdPath), server_.get(),
                                      QDBusConnection::SubPath);
  if (!ok) {
    error = "cannot register the D-Bus objects";
    return false;
  }
  g_server = server_.get();
  started_ = true;
  if (!bus.registerService(QString::fromUtf8(dbus::kServiceName))) {
    error = std::string("cannot own the bus name ") + dbus::kServiceName + ": " +
            bus.lastError().message().toStdString();
    return false;
  }
  return true;
}

bool AutomationObjectsHeld() { return g_server && g_server->LiveCount() > 0; }

void QuitIfNothingHolds() {
  if (MainWinLoaded() != 0 || AutomationObjectsHeld()) return;
  EndProgramIfIdle();
}

}  // namespace nvx
