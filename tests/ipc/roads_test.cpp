// The Exec and Form1 roads: replies, what the window shows, errors of the
// roads themselves, and calls that nest inside a waiting command.
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QRegularExpression>

#include "ipc/dbus_names.h"
#include "ipc_fixture.h"

namespace nvx::test {
namespace {

const QString kCmdPath = QString::fromUtf8(dbus::kCmdPath);
const QString kCmdIface = QString::fromUtf8(dbus::kCmdInterface);
const QString kFactory = QString::fromUtf8(dbus::kFactoryInterface);
const QString kForm1Path = QString::fromUtf8(dbus::kForm1Path);
const QString kForm1 = QString::fromUtf8(dbus::kForm1Interface);

using RoadsTest = IpcTest;

std::string Form1Prop(IpcTest& t, const char* name) {
  return t.Prop(kForm1Path, kForm1, QString::fromUtf8(name)).toString().toStdString();
}

TEST_F(RoadsTest, ExecAnswersTheJoinedReplies) {
  ASSERT_TRUE(StartProgram());
  struct Case {
    const char* line;
    const char* reply;
  };
  const Case cases[] = {
      {"Ver", "4.0 ; "},
      {"F 3;B 2;F Wait;B Wait", "OK  ; OK  ; OK  ; OK  ; "},
      {"F ?;B ?", "3 ; 2 ; "},
      {"F ??", "F 3 ; "},
      {"Foo", "Error Unknown command ; "},
      {"", ""},
      {"Ver;Foo;Ver", "4.0 ; Error Unknown command ; 4.0 ; "},
  };
  for (const Case& c : cases) EXPECT_EQ(Exec(c.line), c.reply) << c.line;
}

TEST_F(RoadsTest, OneLineGivesOneReplyOnEveryRoad) {
  // A program started afresh for each road: the wheel's filter is read at
  // start-up, so "F Next" steps from where the wheel stands on every road.
  const std::string line = "F Next;F Wait;F ?;Foo;Ver";
  const std::string reply = "OK  ; OK  ; 2 ; Error Unknown command ; 4.0 ; ";
  auto restart = [this] {
    program->kill();
    program->waitForFinished();
    return StartProgram();
  };
  ASSERT_TRUE(StartProgram());
  EXPECT_EQ(Exec(line), reply);
  ASSERT_TRUE(restart());
  Call(kForm1Path, kForm1, QStringLiteral("Execute"), {QString::fromStdString(line)});
  EXPECT_EQ(Form1Prop(*this, "lblMsg"), reply);
  program->kill();
  program->waitForFinished();
  QProcess exec;
  exec.setProcessEnvironment(ProgramEnv());
  exec.start(QStringLiteral(NVX_PROGRAM),
             ProgramArgs({QStringLiteral("--exec"), QString::fromStdString(line)}));
  ASSERT_TRUE(exec.waitForFinished(60000));
  EXPECT_EQ(exec.readAllStandardOutput().toStdString(), reply + "\n");
}

TEST_F(RoadsTest, ExecTakesAnyText) {
  ASSERT_TRUE(StartProgram());
  EXPECT_EQ(Exec(std::string(100000, 'x')), "Error Unknown command ; ");
  EXPECT_EQ(Exec("\x01\x02\x7f"), "Error Unknown command ; ");
  EXPECT_EQ(Exec("F \xc3\xa9"), "Error  ; ");
  // Beyond the stated limit a line is refused as a whole, on both roads.
  const QString huge(dbus::kMaxLineBytes + 1, QLatin1Char('x'));
  EXPECT_EQ(Call(kCmdPath, kCmdIface, QStringLiteral("Exec"), {huge}).errorName().toStdString(),
            dbus::kErrLineTooLong);
  EXPECT_EQ(Call(kForm1Path, kForm1, QStringLiteral("Execute"), {huge}).errorName().toStdString(),
            dbus::kErrLineTooLong);
  EXPECT_EQ(Exec("Ver"), "4.0 ; ");  // still serving
}

TEST_F(RoadsTest, ExecRepliesGivesEachReply) {
  ASSERT_TRUE(StartProgram());
  const QDBusMessage r =
      Call(kCmdPath, kCmdIface, QStringLiteral("ExecReplies"), {QStringLiteral("Ver;Foo")});
  ASSERT_EQ(r.type(), QDBusMessage::ReplyMessage) << r.errorMessage().toStdString();
  ASSERT_EQ(r.arguments().size(), 2);
  EXPECT_EQ(r.arguments()[0].toString(), QStringLiteral("4.0 ; Error Unknown command ; "));
  EXPECT_EQ(r.arguments()[1].toStringList(),
            (QStringList{QStringLiteral("4.0"), QStringLiteral("Error Unknown command")}));
}

TEST_F(RoadsTest, ExecuteShowsTheLineAndReplyInTheWindowWithoutHistory) {
  ASSERT_TRUE(StartProgram());
  const QDBusMessage r =
      Call(kForm1Path, kForm1, QStringLiteral("Execute"), {QStringLiteral("Ver")});
  ASSERT_EQ(r.type(), QDBusMessage::ReplyMessage) << r.errorMessage().toStdString();
  EXPECT_EQ(Form1Prop(*this, "cboCommand"), "Ver");
  EXPECT_EQ(Form1Prop(*this, "lblMsg"), "4.0 ; ");
  const QString time = Prop(kForm1Path, kForm1, QStringLiteral("lblTime")).toString();
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^ [0-9]+$")).match(time).hasMatch())
      << time.toStdString();
  EXPECT_TRUE(Prop(kForm1Path, kForm1, QStringLiteral("cboCommandList")).toStringList().isEmpty());
}

TEST_F(RoadsTest, ExecuteIsAcceptedWhenTheCommandFails) {
  ASSERT_TRUE(StartProgram());
  struct Case {
    const char* line;
    const char* box;  // the command box afterwards (wheel commands leave their echo)
    const char* msg;
  };
  const Case cases[] = {
      {"Foo", "Foo", "Error Unknown command ; "},
      {"F 2;F Wait", "F Wait", "OK  ; OK  ; "},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    const QDBusMessage r =
        Call(kForm1Path, kForm1, QStringLiteral("Execute"), {QString::fromUtf8(c.line)});
    EXPECT_EQ(r.type(), QDBusMessage::ReplyMessage) << c.line;
    EXPECT_EQ(Form1Prop(*this, "lblMsg"), c.msg) << c.line;
    EXPECT_EQ(Form1Prop(*this, "cboCommand"), c.box) << c.line;
  }
}

TEST_F(RoadsTest, ExecDoesNotTouchTheMessageLine) {
  ASSERT_TRUE(StartProgram());
  Call(kForm1Path, kForm1, QStringLiteral("Execute"), {QStringLiteral("Ver")});
  EXPECT_EQ(Exec("Foo;Ver"), "Error Unknown command ; 4.0 ; ");
  EXPECT_EQ(Form1Prop(*this, "lblMsg"), "Error Unknown command");  // the unknown word's own message
}

TEST_F(RoadsTest, ShowAndHideActOnTheRealWindow) {
  ASSERT_TRUE(StartProgram());
  EXPECT_EQ(Diag("WindowVisible").toBool(), false);  // automation mode, clean start
  EXPECT_EQ(Exec("Show"), "OK  ; ");
  EXPECT_EQ(Diag("WindowVisible").toBool(), true);
  EXPECT_EQ(Exec("Hide"), "OK  ; ");
  EXPECT_EQ(Diag("WindowVisible").toBool(), false);
  EXPECT_EQ(Diag("MainWinLoaded").toInt(), 1);
}

TEST_F(RoadsTest, CreatedObjectsAndTheirErrors) {
  ASSERT_TRUE(StartProgram());
  const QDBusMessage made = Call(kCmdPath, kFactory, QStringLiteral("Create"));
  ASSERT_EQ(made.type(), QDBusMessage::ReplyMessage) << made.errorMessage().toStdString();
  const QString path = made.arguments().at(0).value<QDBusObjectPath>().path();
  EXPECT_TRUE(path.startsWith(kCmdPath + QLatin1Char('/'))) << path.toStdString();
  EXPECT_EQ(Diag("AutoObjAlive").toInt(), 1);
  EXPECT_EQ(Diag("AutomationObjects").toInt(), 1);

  // The property names the object itself.
  EXPECT_EQ(Prop(path, kCmdIface, QStringLiteral("NorvantixCmd")).value<QDBusObjectPath>().path(),
            path);
  EXPECT_EQ(
      Prop(kCmdPath, kCmdIface, QStringLiteral("NorvantixCmd")).value<QDBusObjectPath>().path(),
      kCmdPath);
  EXPECT_EQ(ExecOn(client, path, "Ver"), "4.0 ; ");

  // Another client may use it but not release it.
  QDBusConnection other = Connect(QStringLiteral("other"));
  EXPECT_EQ(ExecOn(other, path, "Ver"), "4.0 ; ");
  EXPECT_EQ(CallOn(other, path, kCmdIface, QStringLiteral("Release")).errorName().toStdString(),
            dbus::kErrNotOwner);

  struct Bad {
    QString path, member;
    QList<QVariant> args;
    const char* error;
  };
  const Bad bad[] = {
      {kCmdPath + QStringLiteral("/999"),
       QStringLiteral("Exec"),
       {QStringLiteral("Ver")},
       dbus::kErrUnknownObject},
      {kCmdPath + QStringLiteral("/x"),
       QStringLiteral("Exec"),
       {QStringLiteral("Ver")},
       dbus::kErrUnknownObject},
      {path + QStringLiteral("/1"),
       QStringLiteral("Exec"),
       {QStringLiteral("Ver")},
       dbus::kErrUnknownObject},
      {path, QStringLiteral("Exec"), {42}, "org.freedesktop.DBus.Error.InvalidArgs"},
      {path, QStringLiteral("Exec"), {}, "org.freedesktop.DBus.Error.InvalidArgs"},
      {path,
       QStringLiteral("Exec"),
       {QStringLiteral("a"), QStringLiteral("b")},
       "org.freedesktop.DBus.Error.InvalidArgs"},
      {path, QStringLiteral("Nope"), {}, "org.freedesktop.DBus.Error.UnknownMethod"},
  };
  for (const Bad& b : bad) {
    EXPECT_EQ(Call(b.path, kCmdIface, b.member, b.args).errorName().toStdString(), b.error)
        << b.path.toStdString() << " " << b.member.toStdString();
  }
  const QDBusMessage set =
      Call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
           {kCmdIface, QStringLiteral("NorvantixCmd"),
            QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusObjectPath(kCmdPath))))});
  EXPECT_EQ(set.errorName(), QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly"));

  EXPECT_EQ(Call(path, kCmdIface, QStringLiteral("Release")).type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(Diag("AutoObjAlive").toInt(), 0);
  EXPECT_EQ(Diag("AutomationObjects").toInt(), 0);
  EXPECT_EQ(ExecOn(client, path, "Ver"), std::string("<error ") + dbus::kErrUnknownObject + ">");
}

TEST_F(RoadsTest, FirstExecGivesTheCallerItsObject) {
  ASSERT_TRUE(StartProgram());
  EXPECT_EQ(Diag("AutoObjAlive").toInt(), 0);
  EXPECT_EQ(Exec("Ver"), "4.0 ; ");
  EXPECT_EQ(Diag("AutoObjAlive").toInt(), 1);
  EXPECT_EQ(Exec("Ver"), "4.0 ; ");
  EXPECT_EQ(Diag("AutomationObjects").toInt(), 1);  // one per client, not per call
  EXPECT_EQ(Call(kCmdPath, kCmdIface, QStringLiteral("Release")).type(),
            QDBusMessage::ReplyMessage);
  EXPECT_EQ(Diag("AutomationObjects").toInt(), 0);
  // Releasing again is harmless.
  EXPECT_EQ(Call(kCmdPath, kCmdIface, QStringLiteral("Release")).type(),
            QDBusMessage::ReplyMessage);
  EXPECT_EQ(Diag("AutoObjAlive").toInt(), 0);
}

TEST_F(RoadsTest, IntrospectionListsTheRoads) {
  ASSERT_TRUE(StartProgram());
  Call(kCmdPath, kFactory, QStringLiteral("Create"));
  const QDBusMessage r = Call(kCmdPath, QStringLiteral("org.freedesktop.DBus.Introspectable"),
                              QStringLiteral("Introspect"));
  ASSERT_EQ(r.type(), QDBusMessage::ReplyMessage);
  const QString xml = r.arguments().at(0).toString();
  for (const char* part : {"org.norvantix.NorvantixCmd\"", "org.norvantix.NorvantixCmdFactory\"",
                           "name=\"Exec\"", "name=\"NorvantixCmd\"", "<node name=\""}) {
    EXPECT_TRUE(xml.contains(QString::fromUtf8(part))) << part;
  }
  const QDBusMessage f = Call(kForm1Path, QStringLiteral("org.freedesktop.DBus.Introspectable"),
                              QStringLiteral("Introspect"));
  const QString fx = f.arguments().value(0).toString();
  for (const char* part :
       {"name=\"Execute\"", "name=\"lblMsg\"", "name=\"lblTime\"", "name=\"cboCommand\""}) {
    EXPECT_TRUE(fx.contains(QString::fromUtf8(part))) << part;
  }
}

// A slow wheel: 'F Wait' after a move of three filters lasts a few seconds,
// during which other calls must run at once, nested, and the wait then ends.
TEST_F(RoadsTest, CallsNestInsideAWaitingCommand) {
  SetKey("ZR_PARW1.TXT", "W1SLEWVELOCITY", "300");
  ASSERT_TRUE(StartProgram());
  ASSERT_EQ(Exec("F 1;F Wait"), "OK  ; OK  ; ");
  ASSERT_EQ(Exec("F 4"), "OK  ; ");

  QDBusMessage wait = QDBusMessage::createMethodCall(QString::fromUtf8(dbus::kServiceName),
                                                     kCmdPath, kCmdIface, QStringLiteral("Exec"));
  wait << QStringLiteral("F Wait");
  QDBusPendingCall pending = client.asyncCall(wait, 60000);
  // Sent at once behind the wait, so that both arrive together.
  QDBusMessage ver = QDBusMessage::createMethodCall(QString::fromUtf8(dbus::kServiceName), kCmdPath,
                                                    kCmdIface, QStringLiteral("Exec"));
  ver << QStringLiteral("Ver");
  QDBusPendingCall close = client.asyncCall(ver, 60000);
  ASSERT_TRUE(WaitUntil([&] { return close.isFinished(); }, 30000));
  EXPECT_EQ(close.reply().arguments().value(0).toString(), QStringLiteral("4.0 ; "));
  EXPECT_FALSE(pending.isFinished()) << "the call behind the wait was not nested";

  // Calls from another client and from the same one, on every road.
  QDBusConnection other = Connect(QStringLiteral("other"));
  EXPECT_EQ(ExecOn(other, kCmdPath, "Ver"), "4.0 ; ");
  const QDBusMessage made = CallOn(other, kCmdPath, kFactory, QStringLiteral("Create"));
  ASSERT_EQ(made.type(), QDBusMessage::ReplyMessage);
  const QString path = made.arguments().at(0).value<QDBusObjectPath>().path();
  EXPECT_EQ(ExecOn(other, path, "Ver;Foo"), "4.0 ; Error Unknown command ; ");
  EXPECT_EQ(CallOn(other, path, kCmdIface, QStringLiteral("Release")).type(),
            QDBusMessage::ReplyMessage);
  EXPECT_EQ(Call(kForm1Path, kForm1, QStringLiteral("Execute"), {QStringLiteral("Ver")}).type(),
            QDBusMessage::ReplyMessage);
  EXPECT_EQ(Form1Prop(*this, "lblMsg"), "4.0 ; ");
  EXPECT_EQ(Form1Prop(*this, "cboCommand"), "Ver");
  EXPECT_FALSE(pending.isFinished()) << "the wheel stopped before the nested calls were done";

  ASSERT_TRUE(WaitUntil([&] { return pending.isFinished(); }, 30000));
  const QDBusMessage done = pending.reply();
  ASSERT_EQ(done.type(), QDBusMessage::ReplyMessage) << done.errorMessage().toStdString();
  EXPECT_EQ(done.arguments().at(0).toString(), QStringLiteral("OK  ; "));
  EXPECT_EQ(Exec("F ?"), "4 ; ");
  // The released object ended while the caller's own still lives.
  EXPECT_EQ(Diag("AutomationObjects").toInt(), 2);  // this client's and the other's implicit ones
}

}  // namespace
}  // namespace nvx::test
