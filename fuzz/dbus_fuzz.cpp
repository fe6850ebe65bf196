// The D-Bus roads' handling of a call's arguments, from any bytes: the
// automation objects' messages (object paths, interfaces, members, argument
// lists of any types and owners) and the "Form1" road, each running its
// command line on a headless set-up without a port; every text handed back
// to the bus holds no NUL. The bus itself is not reached: the connection is
// one that never connected, so replies go nowhere.
//
// Input: a flags byte (bits 0-1: the root /NorvantixCmd, the Form1 road, an
// object made by Create, an object that does not exist; bit 2: the caller;
// bit 3: the interface named; bit 4: the properties interface), then the
// member name, then arguments, each after a tag byte (0 string, 1 integer,
// 2 byte array, 3 string list split at 0x1F, 4 variant string, 5 object
// path).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/main_model.h"
#include "fuzz_support.h"
#include "ipc/dbus_names.h"
#include "ipc/dbus_roads.h"

using namespace nvx;

namespace {

QDBusConnection* g_bus = nullptr;

QString Text(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

void CheckBusText(const std::string& s) {
  const QString t = ToBusText(s);
  if (t.contains(QChar(0))) std::abort();
  // Valid UTF-8 without a NUL passes unchanged.
  if (s.find('\0') == std::string::npos && Text(s).toUtf8().toStdString() == s &&
      t.toStdString() != s) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_LOGGING_RULES", "*=false");
  new QCoreApplication(*argc, *argv);
  g_bus = new QDBusConnection(QDBusConnection::connectToBus(
      QStringLiteral("unix:path=/nonexistent/nvx-fuzz-bus"), QStringLiteral("nvx-fuzz")));
  fuzz::InstallQuietHost();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t tag = rest.find_first_of(std::string_view("\0\1\2\3\4\5", 6));
  const QString member = Text(rest.substr(0, tag));
  QList<QVariant> args;
  std::string firstText;
  while (tag != std::string_view::npos) {
    const char kind = rest[tag];
    const size_t next = rest.find_first_of(std::string_view("\0\1\2\3\4\5", 6), tag + 1);
    const std::string_view body = rest.substr(
        tag + 1, next == std::string_view::npos ? std::string_view::npos : next - tag - 1);
    if (args.isEmpty()) firstText = std::string(body);
    switch (kind) {
      case 0: args << Text(body); break;
      case 1: args << static_cast<int>(body.size()); break;
      case 2: args << QByteArray(body.data(), static_cast<qsizetype>(body.size())); break;
      case 3: args << Text(body).split(QChar(0x1F)); break;
      case 4: args << QVariant::fromValue(QDBusVariant(Text(body))); break;
      default: args << QVariant::fromValue(QDBusObjectPath(QStringLiteral("/x"))); break;
    }
    tag = next;
  }

  fuzz::HeadlessSession session((flags & 0x40) ? ControllerKind::Ezhr17 : ControllerKind::Im483i);
  CheckBusText(firstText);
  const int where = flags & 3;
  if (where == 1) {
    Form1Object form1;
    form1.Execute(Text(firstText));
    CheckBusText(MainWin().Msg());
    (void)form1.lblTime();
    (void)form1.cboCommand();
    (void)form1.cboCommandList();
    return 0;
  }
  AutomationServer server(*g_bus);
  const QString caller = (flags & 4) ? QStringLiteral(":1.7") : QStringLiteral(":1.8");
  const QString root = QString::fromUtf8(dbus::kCmdPath);
  QString path = root;
  if (where == 2) {
    server.handleMessage(QDBusMessage::createMethodCall(QStringLiteral(":1.7"), root,
                                                        QString::fromUtf8(dbus::kFactoryInterface),
                                                        QStringLiteral("Create")),
                         *g_bus);
    path = root + QStringLiteral("/1");
  } else if (where == 3) {
    path = root + QStringLiteral("/2");
  }
  const QString iface = (flags & 0x10) ? QStringLiteral("org.freedesktop.DBus.Properties")
                        : (flags & 8)  ? QString::fromUtf8(dbus::kCmdInterface)
                                       : QString();
  QDBusMessage m = QDBusMessage::createMethodCall(caller, path, iface, member);
  m.setArguments(args);
  server.handleMessage(m, *g_bus);
  (void)server.introspect(path);
  server.EndAll();
  return 0;
}
