// The program as a person meets it: norvantix on simulated controllers with
// its window on this test's X server. Lines typed into the command box with
// xdotool run once each with Return and keypad Enter; what the window shows
// is read back over D-Bus (/Form1) on a private bus.
#include <QProcess>

#include "ipc/dbus_names.h"
#include "ipc_fixture.h"

namespace nvx::test {
namespace {

class ProgramTest : public IpcTest {
 protected:
  static QString Xdo(const QStringList& args) {  // xdotool's output
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    EXPECT_TRUE(p.waitForFinished(30000) && p.exitCode() == 0) << args.join(' ').toStdString();
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
  }
  QVariant Form1(const char* name) {
    return Prop(dbus::kForm1Path, dbus::kForm1Interface, QString::fromUtf8(name));
  }
};

TEST_F(ProgramTest, TypedLinesRunOnceWithReturnAndKeypadEnter) {
  QProcessEnvironment env = ProgramEnv();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  env.insert(QStringLiteral("DISPLAY"), qEnvironmentVariable("DISPLAY"));
  program = std::make_unique<QProcess>();
  program->setProcessEnvironment(env);
  program->setProcessChannelMode(QProcess::ForwardedChannels);
  program->start(QStringLiteral(NVX_PROGRAM), ProgramArgs({}));
  ASSERT_TRUE(WaitUntil([&] { return NameOwned(); }, 30000));
  const QString window =
      Xdo({"search", "--sync", "--onlyvisible", "--name", "^Norvantix$"}).section('\n', 0, 0);
  Xdo({"windowactivate", "--sync", window});

  const struct {
    const char *line, *key, *msg;
  } rows[] = {{"F 3;F Wait;F ??", "Return", "OK  ; OK  ; F 3 ; "}, {"Ver", "KP_Enter", "4.0 ; "}};
  QStringList typed;  // newest first, as the history
  for (const auto& r : rows) {
    Xdo({"key", "--clearmodifiers", "ctrl+a"});  // what the box holds is replaced
    Xdo({"type", "--delay", "20", r.line});
    Xdo({"key", r.key});
    typed.prepend(r.line);
    EXPECT_TRUE(WaitUntil([&] { return Form1("lblMsg").toString() == r.msg; }, 20000))
        << r.line << ": " << Form1("lblMsg").toString().toStdString();
    EXPECT_EQ(Form1("cboCommandList").toStringList().join('|').toStdString(),
              typed.join('|').toStdString());
  }
}

}  // namespace
}  // namespace nvx::test
