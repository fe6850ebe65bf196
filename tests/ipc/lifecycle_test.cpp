// Starting and ending: activation through the D-Bus service file, the second
// instance, norvantix-cmd; and how the program ends:
// whichever of the main window and an automation object goes last closes the
// port, and the program ends once no window is loaded and no client holds an
// object.
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>

#include "ipc_fixture.h"
#include "support/process.h"

namespace nvx::test {
namespace {

const QString kService = QString::fromUtf8(dbus::kServiceName);
// What a refused start writes on standard error too (its message box waits for a person).
const QString kRefusal = QStringLiteral(
    "Application is already running.\nIf user interface is not visible,\n"
    "restore form, or give Show command from a client.\n");

using StartTest = IpcTest;

// The second start, in the window modes, shows the message and leaves the
// first copy serving (the headless mode's refusal is tested without a bus).
// The first, a standalone window, then outlives a client's object, and its
// own unloading ends the program.
TEST_F(StartTest, SecondInstanceRefusedAndTheStandaloneWindowEndsTheProgram) {
  ASSERT_TRUE(StartProgram({}));
  const uint firstPid = client.interface()->servicePid(kService).value();
  const QStringList modes[] = {{QStringLiteral("--automation")}, {}};
  for (const QStringList& mode : modes) {
    QProcess second;
    second.setProcessEnvironment(ProgramEnv());
    second.start(QStringLiteral(NVX_PROGRAM), ProgramArgs(mode));
    ASSERT_TRUE(second.waitForStarted(10000));
    QString seen;
    EXPECT_TRUE(WaitUntil(
        [&] {
          second.waitForReadyRead(50);
          seen += QString::fromLocal8Bit(second.readAllStandardError());
          return seen.contains(kRefusal);
        },
        30000))
        << seen.toStdString();
    second.kill();
    second.waitForFinished(5000);
    EXPECT_EQ(client.interface()->servicePid(kService).value(), firstPid);
    EXPECT_EQ(Exec("Ver"), "4.0 ; ");
  }
  ASSERT_TRUE(Release(client, dbus::kCmdPath));
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
  Execute(QStringLiteral("Unload"));
  EXPECT_EQ(WaitProgramExit(), 0);
}

// Without the program or its service file a call fails, and norvantix-cmd
// says it cannot reach the program: on this bus, with no bus at the address,
// with no bus address at all. With the service file the first call starts
// the program in automation mode.
TEST_F(StartTest, ServiceFileStartsTheProgramAndNorvantixCmdRuns) {
  for (const std::string& bus :
       {address.toStdString(), "unix:path=" + busDir.file("no-such-socket"), std::string()}) {
    std::vector<std::pair<std::string, std::string>> env = {{"DBUS_SESSION_BUS_ADDRESS", bus}};
    if (bus.empty()) env.push_back({"DISPLAY", ""});
    const ProcessResult r = RunProcess({NVX_CMD_PROGRAM, "Ver"}, env, 60000);
    EXPECT_EQ(r.exitCode, 4) << bus << ": " << r.err;
    EXPECT_EQ(r.out, "") << bus;
    EXPECT_NE(r.err.find("norvantix-cmd: cannot reach"), std::string::npos) << bus << ": " << r.err;
  }
  SetKey("ZR_CONFIG.TXT", "W2_INSTALLED", "0");
  StartBus(true);
  ASSERT_FALSE(NameOwned());
  EXPECT_EQ(Exec("Ver"), "4.0 ; ");
  // "Unload" leaves the object holding port and program (the window's road
  // has no window to go to now); its release then ends the program.
  EXPECT_EQ(Exec("Unload"), "OK  ; ");
  EXPECT_EQ(Diag("MainWinLoaded").toInt(), 0);
  EXPECT_EQ(Diag("PortOpen").toBool(), true);
  EXPECT_EQ(Diag("AutoObjAlive").toInt(), 1);
  EXPECT_EQ(Execute(QStringLiteral("Ver")).errorName(), dbus::kErrNoWindow);
  EXPECT_TRUE(Release(client, dbus::kCmdPath));
  EXPECT_TRUE(WaitUntil([&] { return !NameOwned(); }, 20000));

  // norvantix-cmd's first run starts the program again.
  const std::vector<std::pair<std::string, std::string>> env = {
      {"DBUS_SESSION_BUS_ADDRESS", address.toStdString()}};
  // clang-format off
  const struct { std::vector<std::string> args; std::string out; int exitCode; } cases[] = {
      {{"Ver"}, "4.0 ; \n", 0}, {{"F ?;B ?"}, "1 ; Off  ; \n", 1}, {{""}, "\n", 0},
      {{"Ver", "F ?"}, "4.0 ; \n1 ; \n", 0}, {{"F 99999"}, "Error  ; \n", 1},
      {{"Foo", "Ver"}, "Error Unknown command ; \n4.0 ; \n", 1},
      {{"--timeout", "60000", "--", "--Ver"}, "Error Unknown command ; \n", 1},
      {{}, "", 2}, {{"--timeout"}, "", 2}, {{"--timeout", "0", "Ver"}, "", 2},
      {{"--timeout", "x", "Ver"}, "", 2}, {{"--bogus", "Ver"}, "", 2}};
  // clang-format on
  for (const auto& c : cases) {
    std::vector<std::string> argv = {NVX_CMD_PROGRAM};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const ProcessResult r = RunProcess(argv, env, 60000);
    std::string shown;
    for (const auto& a : c.args) shown += "[" + a + "]";
    EXPECT_EQ(r.out, c.out) << shown << " " << r.err;
    EXPECT_EQ(r.exitCode, c.exitCode) << shown << " " << r.err;
  }
  // Each run released its object: none is left, the program still runs.
  EXPECT_EQ(Diag("AutomationObjects").toInt(), 0);
  EXPECT_TRUE(NameOwned());
}

using EndingTest = IpcTest;

// The flag is not a count: the end of one object clears it though another
// lives, so unloading the window then closes the port; the program still runs
// for the client that holds objects, and ends when that client leaves the bus.
TEST_F(EndingTest, AutoObjAliveIsAFlagAndALeavingClientEndsItsObjects) {
  ASSERT_TRUE(StartProgram());
  {
    QDBusConnection b = Connect();
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
    ASSERT_FALSE(Create(b).isEmpty());
    EXPECT_EQ(ExecOn(b, dbus::kCmdPath, "Ver"), "4.0 ; ");  // and its implicit one
  }
  EXPECT_EQ(Diag("AutomationObjects").toInt(), 3);
  QDBusConnection::disconnectFromBus(ClientName(clientCount));  // B's
  EXPECT_EQ(WaitProgramExit(), 0);
}

}  // namespace
}  // namespace nvx::test
