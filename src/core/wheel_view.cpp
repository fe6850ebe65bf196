#include "core/wheel_view.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "base/numbers.h"
#include "params/trapar.h"

namespace nvx {

namespace {
// A parameter file is a few hundred bytes; anything far larger is not one.
constexpr std::uintmax_t kMaxParFileBytes = 16u * 1024u * 1024u;

std::string JoinDir(const std::string& dir, const std::string& name) {
  if (!dir.empty() && dir.back() == '/') return dir + name;
  return dir + "/" + name;
}
}  // namespace

const char* const kParFileNotRead = "Parameter file not read";

std::string WheelLetter(int wheel) {
  if (wheel == 1) return "F";
  if (wheel == 2) return "B";
  return "";
}

std::string WheelMenuCaption(int wheel, int16_t curFilter) {
  return WheelLetter(wheel) + "-" + WheelButtonCaption(curFilter);
}

std::string WheelButtonCaption(int16_t curFilter) {
  if (curFilter < 1) return "?";
  return FormatInt(curFilter);
}

std::string WheelFilterMsg(int wheel, int16_t curFilter) {
  return WheelLetter(wheel) + FormatIntLeadingBlank(curFilter);
}

std::string WheelOnlineMsg(int wheel, bool online) {
  return WheelLetter(wheel) + (online ? " On" : " Off");
}

std::string WheelPanelCaption(int wheel) { return WheelLetter(wheel) + "-Filter"; }

int FilterEntryCount(int16_t count) { return std::clamp<int>(count, 1, kMaxFilterEntries); }

std::vector<std::string> FilterEntryCaptions(int16_t count) {
  const int n = FilterEntryCount(count);
  std::vector<std::string> out;
  out.reserve(static_cast<size_t>(n));
  out.emplace_back("Filter 1");
  for (int i = 1; i < n; ++i) out.push_back("Filter" + FormatIntLeadingBlank(i + 1));
  return out;
}

int CheckedFilterEntry(int16_t count, int16_t curFilter) {
  const int n = std::min<int>(count, kMaxFilterEntries);
  if (curFilter >= 1 && curFilter <= n) return curFilter - 1;
  return -1;
}

void RememberInHistory(std::vector<std::string>& history, const std::string& line, int limit) {
  const size_t keep = static_cast<size_t>(std::max(limit, 1));
  while (!history.empty() && history.size() >= keep) history.pop_back();
  history.insert(history.begin(), line);
}

std::string TimeLineText(uint32_t elapsedMs) { return FormatIntLeadingBlank(elapsedMs); }

WheelDrawing MakeWheelDrawing(int16_t count, int16_t curFilter) {
  WheelDrawing d;
  d.centreText = WheelButtonCaption(curFilter);
  if (count < 1) return d;
  d.known = curFilter >= 1 && curFilter <= count;
  // The wheel is turned so that the filter in the beam stands at the top.
  const int offset = d.known ? curFilter - 1 : 0;
  auto angle = [&](int index) {
    const double a = 360.0 * (index - offset) / count;
    return a < 0 ? a + 360.0 : a;
  };
  const int n = std::min<int>(count, kMaxDrawnMarks);
  const bool labelled = count <= kMaxLabelledMarks;
  d.marks.reserve(static_cast<size_t>(n) + 1);
  for (int i = 0; i < n; ++i) {
    WheelMark m;
    m.number = i + 1;
    m.angleDeg = angle(i);
    m.current = (curFilter == i + 1);
    m.labelled = labelled;
    d.marks.push_back(m);
  }
  // Too many positions to draw singly: still mark the current one in place.
  if (curFilter > n && curFilter <= count) {
    WheelMark m;
    m.number = curFilter;
    m.angleDeg = angle(curFilter - 1);
    m.current = true;
    d.marks.push_back(m);
  }
  return d;
}

std::string WheelParFileName(int wheel) { return "ZR_PARW" + FormatInt(wheel) + ".TXT"; }

std::string WheelParFilePattern(int wheel) { return "ZR_PARW" + FormatInt(wheel) + "*.TXT"; }

int16_t CopyWheelParFile(int wheel, const std::string& dir, const std::string& file,
                         const std::string& programDir, std::string& source) {
  source.clear();
  if (dir.empty() || file.empty()) return 0;
  source = JoinDir(dir, file);
  const std::string target = JoinDir(programDir, WheelParFileName(wheel));
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::equivalent(source, target, ec) && !ec) return 2;
  ec.clear();
  if (!fs::is_regular_file(source, ec) || ec) return -1;
  const auto size = fs::file_size(source, ec);
  if (ec || size > kMaxParFileBytes) return -1;
  std::ifstream in(source, std::ios::binary);
  if (!in) return -1;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return -1;
  return WriteFileAtomic(target, bytes) == 1 ? 1 : -1;
}

std::string ParFileReadMsg(const std::string& source) {
  return "Parameter file " + source + " read";
}

}  // namespace nvx
