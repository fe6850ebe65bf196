// The serial link: port, framing, receive with time-out, error log, events.
#include "comm/comm.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/numbers.h"
#include "base/words.h"
#include "comm/clock.h"
#include "comm/serial_port.h"

namespace nvx {

namespace {

constexpr int kLogSlots = 101;
// Pause after a receive step that failed or read nothing although the port
// said it was readable, so that a persistent fault never spins.
constexpr int64_t kFaultPauseMs = 10;

struct Link {
  std::unique_ptr<SerialPort> port;  // the serial host; null when unloaded
  SerialPortFactory factory;
  std::string device;  // SetPortDevice; empty: /dev/ttyS<N-1>
  int16_t port_number = 0;
  int16_t timeout_ms = 1000;
  int16_t out_end_char = 0;
  int16_t in_term1 = 0;
  int16_t in_term2 = 0;
  int16_t loaded = 0;
  StatusLabel* label = nullptr;
  std::array<std::string, kLogSlots> log;
  int16_t log_pos = 0;  // ErrLogPos: lives as long as the program
};

Link& L() {
  static Link link;
  return link;
}

SerialPort& Host() {
  Link& l = L();
  if (!l.port) {
    if (l.factory) l.port = l.factory();
    if (!l.port) l.port = std::make_unique<PosixSerialPort>();
  }
  return *l.port;
}

std::string FailureEntry(const char* name, const SerialPort& port) {
  return std::string(name) + " " + FormatIntLeadingBlank(port.ErrorCode()) + " " + port.ErrorText();
}

bool TraceOn() {
  static const bool on = [] {
    const char* v = std::getenv("NORVANTIX_TRACE");
    return v != nullptr && std::strcmp(v, "1") == 0;
  }();
  return on;
}

void Trace(const char* dir, const std::string& bytes, const std::string& note = {}) {
  if (!TraceOn()) return;
  std::fprintf(stderr, "[comm] %s \"%s\"%s%s\n", dir, EscapeControlBytes(bytes).c_str(),
               note.empty() ? "" : " ", note.c_str());
  std::fflush(stderr);
}

void StoreInLog(const std::string& message) {
  Link& l = L();
  if (l.log_pos < 0 || l.log_pos >= kLogSlots) l.log_pos = 0;
  l.log[static_cast<std::size_t>(l.log_pos)] = message;
  ++l.log_pos;
  if (l.log_pos > kLogSlots - 1) l.log_pos = 0;
}

bool CodeIs(unsigned char c, int16_t code) { return static_cast<int16_t>(c) == code; }

// The receive of CommIn (one terminator) and CommIn2 (two).
int16_t Receive(bool two, std::string& reply, const char* name) {
  Link& l = L();
  SerialPort& port = Host();
  Clock& clock = CurrentClock();
  reply.clear();
  const uint32_t start = clock.NowMs();
  const int64_t timeout = l.timeout_ms;
  const std::size_t term_len = two ? 2 : 1;
  std::array<unsigned char, 2> tail{};  // the last two bytes received
  uint64_t total = 0;                   // bytes received in this call
  bool failure_logged = false;
  bool hung_up = false;
  int16_t result = -1;
  std::string raw;  // the reply before stripping, for the trace

  auto log_failure = [&] {
    if (!failure_logged) {
      failure_logged = true;
      CommLog(FailureEntry(name, port));
    }
  };

  for (;;) {
    const int64_t elapsed = static_cast<uint32_t>(clock.NowMs() - start);
    if (elapsed > timeout) {
      result = -1;
      CommLog("Port TimeOut");
      break;
    }
    // Milliseconds until the elapsed time exceeds the time-out.
    const int64_t remaining = timeout + 1 - elapsed;
    const int wait_ms = static_cast<int>(std::min<int64_t>(remaining, 1 << 30));
    if (hung_up) {
      clock.SleepForMs(remaining);
      continue;
    }
    if (!port.IsOpen()) {
      port.BytesWaiting();  // records the port's own failure code and text
      log_failure();
      hung_up = true;  // nothing can arrive: sleep to the time-out
      continue;
    }

    SerialPort::Wait w = port.WaitReadable(wait_ms);
    if (w == SerialPort::Wait::Timeout) continue;
    if (w == SerialPort::Wait::Error) {
      log_failure();
      clock.SleepForMs(std::min(kFaultPauseMs, remaining));
      continue;
    }
    std::string chunk;
    if (!port.ReadWaiting(chunk)) {
      log_failure();
      if (w == SerialPort::Wait::HangUp) hung_up = true;
      else clock.SleepForMs(std::min(kFaultPauseMs, remaining));
      continue;
    }
    if (w == SerialPort::Wait::HangUp) {
      // Whatever was still waiting has been read; after that the line stays
      // silent and poll would report the hang-up at once on every call.
      hung_up = true;
    }
    if (chunk.empty()) {
      if (!hung_up) clock.SleepForMs(std::min(kFaultPauseMs, remaining));
      continue;
    }

    total += chunk.size();
    if (chunk.size() >= 2) {
      tail = {static_cast<unsigned char>(chunk[chunk.size() - 2]),
              static_cast<unsigned char>(chunk[chunk.size() - 1])};
    } else {
      tail = {tail[1], static_cast<unsigned char>(chunk[0])};
    }
    // A trace line keeps the first kMaxTraceBytes of a receive: a peer that
    // sends without end must not fill the disk through the trace.
    if (TraceOn() && raw.size() < kMaxTraceBytes) {
      raw.append(chunk, 0, std::min(chunk.size(), kMaxTraceBytes - raw.size()));
    }
    if (reply.size() < kMaxReplyBytes) {
      reply.append(chunk, 0, std::min(chunk.size(), kMaxReplyBytes - reply.size()));
    }

    // Only the end of what has arrived so far is tested, after each read.
    const bool complete =
        two ? (total >= 2 && CodeIs(tail[0], l.in_term1) && CodeIs(tail[1], l.in_term2))
            : (total >= 1 && CodeIs(tail[1], l.in_term1));
    if (complete) {
      const uint64_t body = total - term_len;
      if (reply.size() > body) reply.resize(static_cast<std::size_t>(body));
      result = 1;
      break;
    }
  }
  if (TraceOn()) {
    std::string note = result == 1 ? "(complete)" : "(time-out)";
    if (total > raw.size())
      note += " (first " + std::to_string(raw.size()) + " of " + std::to_string(total) + " bytes)";
    Trace(two ? "in2" : "in", raw, note);
  }
  return result;
}

}  // namespace

void CommInit(const std::function<void()>& setLineEnds) {
  Link& l = L();
  Host();
  if (setLineEnds) setLineEnds();
  l.timeout_ms = 1000;
  l.label = nullptr;
  for (auto& slot : l.log) slot.clear();
  l.loaded = 1;
}

void CommUnload() {
  Link& l = L();
  if (l.port) {
    l.port->Close();
    l.port.reset();
  }
  l.loaded = 0;
}

int16_t CommIsLoaded() { return L().loaded; }

void SetPortDevice(const std::string& path) { L().device = path; }

std::string PortDevicePath(int16_t port) {
  const Link& l = L();
  if (!l.device.empty()) return l.device;
  return "/dev/ttyS" + std::to_string(static_cast<int>(port) - 1);
}

int16_t CommOpenPort(int16_t port) {
  Link& l = L();
  SerialPort& p = Host();
  if (!p.Open(PortDevicePath(port))) {
    CommLog(FailureEntry("CommOpenPort", p));
    return 0;
  }
  l.port_number = port;
  return p.IsOpen() ? -1 : 0;
}

int16_t CommClosePort() {
  SerialPort& p = Host();
  if (!p.Close()) {
    CommLog(FailureEntry("CommClosePort", p));
    return 0;
  }
  return -1;
}

int16_t CommPortIsOpen() { return Host().IsOpen() ? -1 : 0; }

void SetPortTimeout(int16_t ms) { L().timeout_ms = ms; }
int16_t GetPortTimeout() { return L().timeout_ms; }

void SetOutEndChar(int16_t c) { L().out_end_char = c; }
void SetInTerm1(int16_t c) { L().in_term1 = c; }
void SetInTerm2(int16_t c) { L().in_term2 = c; }

int16_t CommOut(const std::string& request) {
  Link& l = L();
  SerialPort& p = Host();
  // Bytes still waiting belong to an earlier exchange (a reply that came
  // after its time-out, the rest of a garbled one): they are dropped, so that
  // the reply read next answers this request. Left in place they would start
  // the next reply, and every later request would read the reply to the one
  // before it.
  if (p.IsOpen() && p.BytesWaiting() > 0) {
    std::string stale;
    p.ReadWaiting(stale);
    if (stale.size() <= kMaxTraceBytes) {
      Trace("drop", stale);
    } else {
      Trace("drop", stale.substr(0, kMaxTraceBytes),
            "(first " + std::to_string(kMaxTraceBytes) + " of " + std::to_string(stale.size()) +
                " bytes)");
    }
  }
  std::string bytes = request;
  bytes += static_cast<char>(static_cast<unsigned char>(l.out_end_char & 0xFF));
  Trace("out", bytes);
  if (!p.Write(bytes, std::max<int>(l.timeout_ms, 0))) {
    CommLog(FailureEntry("CommOut", p));
    return -1;
  }
  return 1;
}

int16_t CommIn(std::string& reply) { return Receive(false, reply, "CommIn"); }
int16_t CommIn2(std::string& reply) { return Receive(true, reply, "CommIn2"); }

int16_t CommInOut(const std::string& request, std::string& reply) {
  const int16_t out = CommOut(request);
  const int16_t in = CommIn(reply);
  return (out > 0 && in > 0) ? 1 : -1;
}

int16_t CommInOut2(const std::string& request, std::string& reply) {
  const int16_t out = CommOut(request);
  const int16_t in = CommIn2(reply);
  return (out > 0 && in > 0) ? 1 : -1;
}

void CommLog(const std::string& message) {
  StoreInLog(message);
  if (StatusLabel* label = L().label) label->SetText(message);
}

void CommLogAppend(const std::string& message) {
  StoreInLog(message);
  if (StatusLabel* label = L().label) label->SetText(label->Text() + ", " + message);
}

void SetCommStatusLabel(StatusLabel* label) { L().label = label; }

std::string CommErrLogText() {
  const Link& l = L();
  std::string text;
  const int pos = (l.log_pos >= 0 && l.log_pos < kLogSlots) ? l.log_pos : 0;
  for (int i = pos; i < kLogSlots; ++i) {
    const std::string& slot = l.log[static_cast<std::size_t>(i)];
    if (!slot.empty()) text += slot + "\r\n";
  }
  // Slots before the write position can be empty too: CommInit clears the
  // slots but keeps the position. Empty slots never give blank lines.
  for (int i = 0; i < pos; ++i) {
    const std::string& slot = l.log[static_cast<std::size_t>(i)];
    if (!slot.empty()) text += slot + "\r\n";
  }
  return text;
}

void CommEvent(int16_t code) {
  if (code > 1000) CommLog("ERROR #" + FormatIntLeadingBlank(code));
}

void CommDeliverEvents() {
  Link& l = L();
  if (!l.port) return;
  for (int16_t code : l.port->TakeEvents()) CommEvent(code);
}

void SetSerialPortFactory(SerialPortFactory factory) { L().factory = std::move(factory); }

}  // namespace nvx
