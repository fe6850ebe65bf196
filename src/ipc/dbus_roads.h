// The program's roads from other programs over the session D-Bus: the
// "Form1" execute road into the main window, the NorvantixCmd automation
// objects with their life per client, and read-only diagnostics. See
// dbus_names.h for the names.
//
// Everything runs on the one thread: calls are delivered by the Qt event
// loop, so a call that arrives while a command waits for a wheel (the waits
// process events) runs at once, nested, and the waiting command then goes on.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace nvx {

// Text for a D-Bus string: invalid UTF-8 becomes U+FFFD and so does a NUL
// (D-Bus strings cannot hold one).
QString ToBusText(const std::string& text);

// The "Form1" road: a line executed as if it came from the window's own
// execute link, and the window's lines read back.
class Form1Object : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.norvantix.Form1")
  Q_PROPERTY(QString lblMsg READ lblMsg)
  Q_PROPERTY(QString lblTime READ lblTime)
  Q_PROPERTY(QString cboCommand READ cboCommand)
  Q_PROPERTY(QStringList cboCommandList READ cboCommandList)
 public:
  explicit Form1Object(QObject* parent = nullptr) : QObject(parent) {}
  QString lblMsg() const;
  QString lblTime() const;
  QString cboCommand() const;
  QStringList cboCommandList() const;  // the command history, newest first

 public slots:
  // Clears the message and time lines, lets pending events run, puts the
  // line in the command box, runs it, shows the joined reply and the time it
  // took. Never refused on account of the command; only a missing main
  // window answers an error.
  void Execute(const QString& line);
};

// Read-only state for clients and tests.
class DiagnosticsObject : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.norvantix.Diagnostics")
  Q_PROPERTY(bool PortOpen READ PortOpen)
  Q_PROPERTY(bool CommLoaded READ CommLoaded)
  Q_PROPERTY(int MainWinLoaded READ MainWinLoadedFlag)
  Q_PROPERTY(int AutoObjAlive READ AutoObjAliveFlag)
  Q_PROPERTY(int AutomationObjects READ AutomationObjects)
  Q_PROPERTY(bool WindowVisible READ WindowVisible)
 public:
  explicit DiagnosticsObject(QObject* parent = nullptr) : QObject(parent) {}
  bool PortOpen() const;
  bool CommLoaded() const;
  int MainWinLoadedFlag() const;
  int AutoObjAliveFlag() const;
  int AutomationObjects() const;
  bool WindowVisible() const;
};

// The automation objects. One virtual object serves /NorvantixCmd and every
// /NorvantixCmd/<n> below it, so no object is ever registered or deleted
// while a call is being served (calls nest).
class AutomationServer : public QDBusVirtualObject {
  Q_OBJECT
 public:
  explicit AutomationServer(const QDBusConnection& bus, QObject* parent = nullptr);
  ~AutomationServer() override;

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
  QString introspect(const QString& path) const override;

  // Objects alive now (the flag AutoObjAlive is kept separately by its own
  // rules; this count decides whether a client still holds the program).
  int LiveCount() const { return static_cast<int>(objects_.size()); }

  // Ends every object (at program end): each end runs the ending rules.
  void EndAll();

 private:
  struct Obj {
    QString owner;          // unique bus name of the client
    bool implicit = false;  // the client's object behind /NorvantixCmd
  };

  uint64_t NewObject(const QString& owner, bool implicit);
  void EndObject(uint64_t id);
  void ClientLeft(const QString& name);
  QString PathOf(uint64_t id) const;
  bool FindImplicit(const QString& owner, uint64_t& id) const;
  bool OwnsAny(const QString& owner) const;
  void ReplyExec(const QDBusMessage& m, const QDBusConnection& c, bool withReplies);

  QDBusConnection bus_;
  QDBusServiceWatcher watcher_;
  std::map<uint64_t, Obj> objects_;
  uint64_t nextId_ = 1;
};

// The roads on the session bus for the life of the object.
class DBusRoads {
 public:
  DBusRoads();
  ~DBusRoads();
  DBusRoads(const DBusRoads&) = delete;
  DBusRoads& operator=(const DBusRoads&) = delete;

  // Registers the objects, then the service name. false with a reason when
  // there is no session bus or the name is taken; the program goes on
  // without the roads then.
  bool Start(std::string& error);

 private:
  std::unique_ptr<Form1Object> form1_;
  std::unique_ptr<DiagnosticsObject> diag_;
  std::unique_ptr<AutomationServer> server_;
  bool started_ = false;
};

// Does a client still hold an automation object (false without roads).
bool AutomationObjectsHeld();

// Ends the event loop when no main window is loaded and no client holds an
// automation object.
void QuitIfNothingHolds();

}  // namespace nvx
