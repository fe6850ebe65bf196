// The Exec and Form1 roads: replies, what the window shows, errors of the
// roads themselves, and calls (a release too) that nest inside a waiting
// command.
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QRegularExpression>

#include "ipc_fixture.h"

namespace nvx::test {
namespace {

using RoadsTest = IpcTest;
const char* const kUnknown = "Error Unknown command ; ";

// The first Exec gives the caller its own object (one per client, not per
// call); Show and Hide act on the real window. Execute shows the line and the
// reply in the window, keeps no history, and is accepted when the command
// fails (wheel commands leave their echo in the box). Exec answers the joined
// replies, takes any text, and leaves the window's message line to the last
// command's own message; ExecReplies gives each reply.
TEST_F(RoadsTest, ExecuteAndExecAnswer) {
  ASSERT_TRUE(StartProgram());
  EXPECT_EQ(Diag("AutoObjAlive").toInt(), 0);
  EXPECT_EQ(Diag("WindowVisible").toBool(), false);  // automation mode, clean start
  EXPECT_EQ(Exec("Show"), "OK  ; ");
  EXPECT_EQ(Diag("AutoObjAlive").toInt(), 1);
  EXPECT_EQ(Diag("WindowVisible").toBool(), true);
  EXPECT_EQ(Exec("Hide"), "OK  ; ");
  EXPECT_EQ(Diag("WindowVisible").toBool(), false);
  EXPECT_EQ(Diag("MainWinLoaded").toInt(), 1);
  EXPECT_EQ(Diag("AutomationObjects").toInt(), 1);
  EXPECT_TRUE(Release(client, dbus::kCmdPath));
  EXPECT_TRUE(Release(client, dbus::kCmdPath));  // releasing again is harmless
  EXPECT_EQ(Diag("AutomationObjects").toInt(), 0);

  // Created objects, the errors of the object roads, and introspection.
  const QString cmd = dbus::kCmdPath, path = Create(client);
  EXPECT_TRUE(path.startsWith(cmd + QLatin1Char('/'))) << path.toStdString();
  EXPECT_EQ(Diag("AutoObjAlive").toInt(), 1);
  EXPECT_EQ(Diag("AutomationObjects").toInt(), 1);
  // The property names the object itself.
  for (const QString& p : {path, cmd}) {
    const QVariant named = Prop(p, dbus::kCmdInterface, QStringLiteral("NorvantixCmd"));
    EXPECT_EQ(named.value<QDBusObjectPath>().path(), p);
  }
  // Another client may use it but not release it.
  QDBusConnection other = Connect();
  EXPECT_EQ(ExecOn(other, path, "Ver"), "4.0 ; ");
  EXPECT_EQ(CallOn(other, path, dbus::kCmdInterface, QStringLiteral("Release")).errorName(),
            dbus::kErrNotOwner);

  const QString invalid = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
  const QString ver = QStringLiteral("Ver"), exec = QStringLiteral("Exec");
  const QString unknown = dbus::kErrUnknownObject;
  // clang-format off
  const struct { QString path, member; QList<QVariant> args; QString error; } bad[] = {
      {cmd + QStringLiteral("/999"), exec, {ver}, unknown}, {path, exec, {42}, invalid},
      {cmd + QStringLiteral("/x"), exec, {ver}, unknown}, {path, exec, {}, invalid},
      {path + QStringLiteral("/1"), exec, {ver}, unknown},
      {path, exec, {QStringLiteral("a"), QStringLiteral("b")}, invalid},
      {path, QStringLiteral("Nope"), {}, QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod")}
  };
  // clang-format on
  for (const auto& b : bad) {
    EXPECT_EQ(Call(b.path, dbus::kCmdInterface, b.member, b.args).errorName(), b.error)
        << b.path.toStdString() << " " << b.member.toStdString();
  }
  const QDBusMessage set =
      Call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
           {dbus::kCmdInterface, QStringLiteral("NorvantixCmd"),
            QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusObjectPath(cmd))))});
  EXPECT_EQ(set.errorName(), QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly"));

  const std::pair<QString, std::vector<const char*>> parts[] = {
      {cmd,
       {"org.norvantix.NorvantixCmd\"", "org.norvantix.NorvantixCmdFactory\"", "name=\"Exec\"",
        "name=\"NorvantixCmd\"", "<node name=\""}},
      {dbus::kForm1Path,
       {"name=\"Execute\"", "name=\"lblMsg\"", "name=\"lblTime\"", "name=\"cboCommand\""}}};
  for (const auto& [p, want] : parts) {
    const QString xml =
        Call(p, QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"))
            .arguments()
            .value(0)
            .toString();
    for (const char* part : want) EXPECT_TRUE(xml.contains(QString::fromUtf8(part))) << part;
  }

  EXPECT_TRUE(Release(client, path));
  EXPECT_EQ(Diag("AutoObjAlive").toInt(), 0);
  EXPECT_EQ(Diag("AutomationObjects").toInt(), 0);
  EXPECT_EQ(ExecOn(client, path, "Ver"), std::string("<error ") + dbus::kErrUnknownObject + ">");

  // clang-format off
  const struct { const char *line, *box, *msg; } shown[] = {{"Ver", "Ver", "4.0 ; "},
      {"Foo", "Foo", "Error Unknown command ; "}, {"F 2;F Wait", "F Wait", "OK  ; OK  ; "},
      {"", "", ""}};
  // clang-format on
  for (const auto& c : shown) {
    const QDBusMessage r = Execute(QString::fromUtf8(c.line));
    EXPECT_EQ(r.type(), QDBusMessage::ReplyMessage) << c.line;
    EXPECT_EQ(Form1Text("lblMsg"), c.msg) << c.line;
    EXPECT_EQ(Form1Text("cboCommand"), c.box) << c.line;
  }
  const QString time = QString::fromStdString(Form1Text("lblTime"));
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^ [0-9]+$")).match(time).hasMatch())
      << time.toStdString();
  EXPECT_TRUE(Prop(dbus::kForm1Path, dbus::kForm1Interface, QStringLiteral("cboCommandList"))
                  .toStringList()
                  .isEmpty());
  // clang-format off
  const struct { std::string line, reply; } cases[] = {{"Ver", "4.0 ; "},
      {"F 3;B 2;F Wait;B Wait", "OK  ; OK  ; OK  ; OK  ; "}, {"F ?;B ?", "3 ; 2 ; "},
      {"F ??", "F 3 ; "}, {"", ""},
      {std::string(100000, 'x'), kUnknown}, {"\x01\x02\x7f", kUnknown}, {"F \xc3\xa9", "Error  ; "},
      {"Foo", kUnknown}, {"Ver;Foo;Ver", "4.0 ; Error Unknown command ; 4.0 ; "}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(Exec(c.line), c.reply) << c.line.substr(0, 20);
  EXPECT_EQ(Form1Text("lblMsg"), "Error Unknown command");  // the unknown word's own message
  // Beyond the stated limit a line is refused as a whole, on both roads.
  const QString huge(dbus::kMaxLineBytes + 1, QLatin1Char('x'));
  EXPECT_EQ(Call(cmd, dbus::kCmdInterface, exec, {huge}).errorName(), dbus::kErrLineTooLong);
  EXPECT_EQ(Execute(huge).errorName(), dbus::kErrLineTooLong);
  const QDBusMessage r = Call(dbus::kCmdPath, dbus::kCmdInterface, QStringLiteral("ExecReplies"),
                              {QStringLiteral("Ver;Foo")});
  ASSERT_EQ(r.arguments().size(), 2) << r.errorMessage().toStdString();
  EXPECT_EQ(r.arguments()[0].toString(), QStringLiteral("4.0 ; Error Unknown command ; "));
  EXPECT_EQ(r.arguments()[1].toStringList(),
            (QStringList{QStringLiteral("4.0"), QStringLiteral("Error Unknown command")}));
}

// A slow wheel: 'F Wait' after a move of three filters lasts a few seconds,
// during which other calls must run at once, nested, and the wait then ends.
TEST_F(RoadsTest, CallsNestInsideAWaitingCommand) {
  SetKey("ZR_PARW1.TXT", "W1SLEWVELOCITY", "300");
  ASSERT_TRUE(StartProgram());
  ASSERT_EQ(Exec("F 1;F Wait"), "OK  ; OK  ; ");
  ASSERT_EQ(Exec("F 4"), "OK  ; ");
  QDBusPendingCall pending = CallAsync(dbus::kCmdPath, QStringLiteral("F Wait"));
  // Sent at once behind the wait, so that both arrive together.
  QDBusPendingCall close = CallAsync(dbus::kCmdPath, QStringLiteral("Ver"));
  ASSERT_TRUE(WaitUntil([&] { return close.isFinished(); }, 30000));
  EXPECT_EQ(close.reply().arguments().value(0).toString(), QStringLiteral("4.0 ; "));
  EXPECT_FALSE(pending.isFinished()) << "the call behind the wait was not nested";

  // Calls from another client and from the same one, on every road.
  QDBusConnection other = Connect();
  EXPECT_EQ(ExecOn(other, dbus::kCmdPath, "Ver"), "4.0 ; ");
  const QString path = Create(other);
  EXPECT_EQ(ExecOn(other, path, "Ver;Foo"), "4.0 ; Error Unknown command ; ");
  EXPECT_TRUE(Release(other, path));
  EXPECT_EQ(Execute(QStringLiteral("Ver")).type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(Form1Text("lblMsg"), "4.0 ; ");
  EXPECT_EQ(Form1Text("cboCommand"), "Ver");
  EXPECT_FALSE(pending.isFinished()) << "the wheel stopped before the nested calls were done";

  ASSERT_TRUE(WaitUntil([&] { return pending.isFinished(); }, 30000));
  const QDBusMessage done = pending.reply();
  ASSERT_EQ(done.type(), QDBusMessage::ReplyMessage) << done.errorMessage().toStdString();
  EXPECT_EQ(done.arguments().at(0).toString(), QStringLiteral("OK  ; "));
  EXPECT_EQ(Exec("F ?"), "4 ; ");
  // The released object ended while the caller's own still lives.
  EXPECT_EQ(Diag("AutomationObjects").toInt(), 2);  // this client's and the other's implicit ones

  // A client that ends its object from inside a command that is still running
  // on that object (the only object left): the command finishes and replies,
  // then the program ends.
  ASSERT_TRUE(Release(client, dbus::kCmdPath) && Release(other, dbus::kCmdPath));
  const QString obj = Create(client);
  ASSERT_EQ(ExecOn(client, obj, "F 1;F Wait;Unload"), "OK  ; OK  ; OK  ; ");
  ASSERT_EQ(ExecOn(client, obj, "F 4"), "OK  ; ");
  pending = CallAsync(obj, QStringLiteral("F Wait;F ?"));
  EXPECT_TRUE(Release(client, obj));
  ASSERT_TRUE(WaitUntil([&] { return pending.isFinished(); }, 30000));
  // The port closed with the object's end, so the wait no longer reaches the
  // wheel; the call still answers, and "F ?" runs after the port has gone.
  const QDBusMessage r = pending.reply();
  ASSERT_EQ(r.type(), QDBusMessage::ReplyMessage) << r.errorMessage().toStdString();
  EXPECT_TRUE(r.arguments().value(0).toString().endsWith(QStringLiteral("; Error  ; ")))
      << r.arguments().value(0).toString().toStdString();
  EXPECT_EQ(WaitProgramExit(), 0);
}

}  // namespace
}  // namespace nvx::test
