// How the program ends: whichever of the main window and an automation object
// goes last closes the port, and the program ends once no window is loaded
// and no client holds an object.
#include "ipc_fixture.h"

namespace nvx::test {
namespace {

using EndingTest = IpcTest;

// A release while the window is loaded keeps port and program; "Unload" on an
// object leaves the object holding them (the window's road has no window to
// go to now); its release then ends the program.
TEST_F(EndingTest, UnloadThenReleaseEndsTheProgram) {
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(Release(client, Create(client)));
  EXPECT_EQ(Diag("WindowVisible").toBool(), false);
  EXPECT_EQ(Diag("AutoObjAlive").toInt(), 0);
  EXPECT_EQ(Diag("PortOpen").toBool(), true);
  EXPECT_TRUE(NameOwned());  // still running
  const QString obj = Create(client);
  ASSERT_FALSE(obj.isEmpty());
  EXPECT_EQ(ExecOn(client, obj, "Unload"), "OK  ; ");
  EXPECT_EQ(Diag("MainWinLoaded").toInt(), 0);
  EXPECT_EQ(Diag("PortOpen").toBool(), true);
  EXPECT_EQ(Diag("AutoObjAlive").toInt(), 1);
  EXPECT_EQ(Execute(QStringLiteral("Ver")).errorName(), dbus::kErrNoWindow);
  EXPECT_TRUE(Release(client, obj));
  EXPECT_EQ(WaitProgramExit(), 0);
}

TEST_F(EndingTest, ClientLeavingTheBusEndsItsObjects) {
  ASSERT_TRUE(StartProgram());
  {
    QDBusConnection leaver = Connect(QStringLiteral("leaver"));
    ASSERT_FALSE(Create(leaver).isEmpty());
    ASSERT_FALSE(Create(leaver).isEmpty());
    EXPECT_EQ(ExecOn(leaver, dbus::kCmdPath, "Unload"), "OK  ; ");  // and its implicit one
  }
  EXPECT_EQ(Diag("AutomationObjects").toInt(), 3);
  EXPECT_EQ(Diag("PortOpen").toBool(), true);
  Disconnect(extraClients.back());
  EXPECT_EQ(WaitProgramExit(), 0);
}

TEST_F(EndingTest, UnloadWithoutClientsEndsTheProgram) {
  ASSERT_TRUE(StartProgram());
  // Through the window's road, so no automation object exists. The reply may
  // or may not make it out before the program ends.
  CallAsync(dbus::kForm1Path, dbus::kForm1Interface, QStringLiteral("Execute"),
            QStringLiteral("Unload"));
  EXPECT_EQ(WaitProgramExit(), 0);
}

// The flag is not a count: the end of one object clears it though another
// lives, so unloading the window then closes the port; the program still runs
// for the client that holds an object, and ends when it lets go.
TEST_F(EndingTest, AutoObjAliveIsAFlagNotACount) {
  ASSERT_TRUE(StartProgram());
  QDBusConnection b = Connect(QStringLiteral("b"));
  const QString objA = Create(client), objB = Create(b);
  ASSERT_FALSE(objB.isEmpty());
  ASSERT_TRUE(Release(client, objA));
  EXPECT_EQ(Diag("AutoObjAlive").toInt(), 0);
  EXPECT_EQ(Diag("AutomationObjects").toInt(), 1);
  EXPECT_EQ(Diag("PortOpen").toBool(), true);  // the window is still loaded
  EXPECT_EQ(ExecOn(b, objB, "Unload"), "OK  ; ");
  EXPECT_EQ(Diag("MainWinLoaded").toInt(), 0);
  EXPECT_EQ(Diag("PortOpen").toBool(), false);
  EXPECT_EQ(Diag("CommLoaded").toBool(), false);
  EXPECT_EQ(ExecOn(b, objB, "Ver"), "4.0 ; ");  // B still holds the program
  ASSERT_TRUE(Release(b, objB));
  EXPECT_EQ(WaitProgramExit(), 0);
}

TEST_F(EndingTest, StandaloneWindowUnloadedWhileAClientHoldsAnObject) {
  ASSERT_TRUE(StartProgram({}));
  EXPECT_EQ(Diag("WindowVisible").toBool(), true);
  const QString obj = Create(client);
  EXPECT_EQ(ExecOn(client, obj, "Unload"), "OK  ; ");
  EXPECT_EQ(Diag("PortOpen").toBool(), true);
  // "Show" loads a new main window.
  EXPECT_EQ(ExecOn(client, obj, "Show"), "OK  ; ");
  EXPECT_EQ(Diag("MainWinLoaded").toInt(), 1);
  EXPECT_EQ(Diag("WindowVisible").toBool(), true);
  // Released with the window loaded: the port stays open, the program runs.
  ASSERT_TRUE(Release(client, obj));
  EXPECT_EQ(Diag("PortOpen").toBool(), true);
  EXPECT_EQ(WaitProgramExit(1000), -1);
  // The window's own unloading now closes the port and ends the program.
  CallAsync(dbus::kForm1Path, dbus::kForm1Interface, QStringLiteral("Execute"),
            QStringLiteral("Unload"));
  EXPECT_EQ(WaitProgramExit(), 0);
}

// A client that ends its object from inside a command that is still running
// on that object: the command finishes and replies, then the program ends.
TEST_F(EndingTest, ReleaseNestedInsideItsOwnObjectsWait) {
  SetKey("ZR_PARW1.TXT", "W1SLEWVELOCITY", "300");
  ASSERT_TRUE(StartProgram());
  const QString obj = Create(client);
  ASSERT_EQ(ExecOn(client, obj, "F 1;F Wait;Unload"), "OK  ; OK  ; OK  ; ");
  ASSERT_EQ(ExecOn(client, obj, "F 4"), "OK  ; ");
  QDBusPendingCall pending =
      CallAsync(obj, dbus::kCmdInterface, QStringLiteral("Exec"), QStringLiteral("F Wait;F ?"));
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
