#include "base/ui.h"

#include <cstdio>

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
}  // namespace

Ui& GetUi() { return g_ui ? *g_ui : g_headless; }
void SetUi(Ui* ui) { g_ui = ui; }

}  // namespace nvx
