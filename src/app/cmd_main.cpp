// norvantix-cmd: sends command lines to the running norvantix program over the
// session D-Bus and prints each joined reply on its own line.
//
//   norvantix-cmd [--timeout MS] [--] LINE...
//
// Each LINE goes to the Exec road of the caller's automation object
// (/NorvantixCmd of org.norvantix.Norvantix); the bus starts the program in
// automation mode through its service file when it is not running. The object
// is released at the end.
//
// Exit status: 0 when no single reply contains "Error " and none is "Off ";
// 1 otherwise; 2 for a bad command line; 4 when the session bus or the program
// cannot be reached (or a call fails on the bus). Lines after a failed call
// are not sent.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QStringList>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/words.h"
#include "ipc/dbus_names.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitReplyFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitUnreachable = 4;

const char* const kCmdUsage =
    "usage: norvantix-cmd [--timeout MS] [--] LINE...\n"
    "Sends each command line to the running norvantix program (started in\n"
    "automation mode by the session bus when needed) and prints each joined\n"
    "reply on its own line.\n"
    "  --timeout MS  longest wait for one reply (default: no limit)\n"
    "Exit status: 0 all replies good, 1 a reply contains \"Error \" or is \"Off \",\n"
    "2 bad command line, 4 the session bus or the program cannot be reached.\n";

// A whole decimal number of milliseconds, 1 to INT_MAX.
bool ParseTimeout(const char* text, int& ms) {
  if (!text || !*text) return false;
  long long v = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    v = v * 10 + (*p - '0');
    if (v > INT_MAX) return false;
  }
  if (v < 1) return false;
  ms = static_cast<int>(v);
  return true;
}

bool ReplyFailed(const QString& reply) { return nvx::ReplyCountsAsFailed(reply.toStdString()); }

}  // namespace

int main(int argc, char** argv) {
  int timeoutMs = INT_MAX;  // libdbus takes INT_MAX as "no time-out"
  std::vector<std::string> lines;
  bool optionsDone = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!optionsDone && std::strcmp(a, "--") == 0) {
      optionsDone = true;
    } else if (!optionsDone && std::strcmp(a, "--help") == 0) {
      std::fputs(kCmdUsage, stdout);
      return kExitOk;
    } else if (!optionsDone && std::strcmp(a, "--timeout") == 0) {
      if (i + 1 >= argc || !ParseTimeout(argv[i + 1], timeoutMs)) {
        std::fprintf(stderr, "norvantix-cmd: --timeout needs a number of milliseconds\n%s",
                     kCmdUsage);
        return kExitUsage;
      }
      ++i;
    } else if (!optionsDone && std::strncmp(a, "--", 2) == 0) {
      std::fprintf(stderr, "norvantix-cmd: unknown option %s\n%s", a, kCmdUsage);
      return kExitUsage;
    } else {
      lines.emplace_back(a);
    }
  }
  if (lines.empty()) {
    std::fprintf(stderr, "norvantix-cmd: no command line given\n%s", kCmdUsage);
    return kExitUsage;
  }

  // Qt's D-Bus wants an application object; no platform plugin is needed.
  int qargc = 1;
  char* qargv[] = {argv[0], nullptr};
  QCoreApplication app(qargc, qargv);

  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    std::fprintf(stderr, "norvantix-cmd: cannot reach the session bus: %s\n",
                 bus.lastError().message().toLocal8Bit().constData());
    return kExitUnreachable;
  }

  const QString service = QString::fromUtf8(nvx::dbus::kServiceName);
  const QString path = QString::fromUtf8(nvx::dbus::kCmdPath);
  const QString iface = QString::fromUtf8(nvx::dbus::kCmdInterface);

  int status = kExitOk;
  bool reached = false;
  for (const std::string& line : lines) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, iface, QStringLiteral("ExecReplies"));
    call << QString::fromLocal8Bit(line.data(), static_cast<qsizetype>(line.size()));
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2) {
      const QString why = reply.type() == QDBusMessage::ErrorMessage
                              ? reply.errorName() + QStringLiteral(": ") + reply.errorMessage()
                              : QStringLiteral("unexpected reply");
      std::fprintf(stderr, "norvantix-cmd: cannot reach the program: %s\n",
                   why.toLocal8Bit().constData());
      status = kExitUnreachable;
      break;
    }
    reached = true;
    const QString joined = reply.arguments().at(0).toString();
    std::printf("%s\n", joined.toLocal8Bit().constData());
    std::fflush(stdout);
    for (const QString& r : reply.arguments().at(1).toStringList()) {
      if (ReplyFailed(r)) status = kExitReplyFailed;
    }
  }

  if (reached) {
    // Ends this client's automation object (leaving the bus would too).
    QDBusMessage release =
        QDBusMessage::createMethodCall(service, path, iface, QStringLiteral("Release"));
    bus.call(release, QDBus::Block, timeoutMs);
  }
  return status;
}
