#include "base/ui.h"

#include <cstdio>
#include <utility>

namespace nvx {

void HeadlessUi::MessageBox(const std::string& text, const std::string&, MsgIcon) {
  // Message boxes become their text on standard error; CR LF line breaks
  // become plain line breaks.
  std::string out;
  out.reserve(text.size() + 1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  out += '\n';
  std::fwrite(out.data(), 1, out.size(), stderr);
  std::fflush(stderr);
}

namespace {
HeadlessUi g_headless;
Ui* g_ui = nullptr;
std::function<void(const std::string&)> g_mainMessageSink;
}  // namespace

void SetMainMessageSink(std::function<void(const std::string&)> sink) {
  g_mainMessageSink = std::move(sink);
}

void ShowMainMessage(const std::string& text) {
  if (g_mainMessageSink) g_mainMessageSink(text);
}

Ui& GetUi() { return g_ui ? *g_ui : g_headless; }
void SetUi(Ui* ui) { g_ui = ui; }

}  // namespace nvx
