// What the main window shows for the wheels and the command box, stated
// without pixels: captions, filter entries and check marks, the message line
// texts of the wheel actions, the command history rule, the time line, the
// drawing of a wheel, and copying a wheel parameter file. The Qt window only
// renders these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nvx {

// The most filter entries a wheel menu gets: one filter per microstep of a
// revolution is the physical limit, and it keeps a bad FILTPOSITIONS from
// building a menu of tens of thousands of entries.
constexpr int16_t kMaxFilterEntries = 3200;

// "F" for wheel 1, "B" for wheel 2, "" otherwise.
std::string WheelLetter(int wheel);

// The wheel menu caption: "F-?" when the filter is below 1, else "F-" and the
// plain number ("F-3"; "B-12").
std::string WheelMenuCaption(int wheel, int16_t curFilter);
// The wheel button caption: "?" when the filter is below 1, else the plain
// number.
std::string WheelButtonCaption(int16_t curFilter);
// The message line after a wheel action: letter and blank-led filter ("F 3").
std::string WheelFilterMsg(int wheel, int16_t curFilter);
// "F On" / "F Off" after the wheel's parameters were applied.
std::string WheelOnlineMsg(int wheel, bool online);
// Panel caption: "F-Filter", "B-Filter".
std::string WheelPanelCaption(int wheel);

// The filter entries of a wheel menu for a filter count N (the result of
// SelectWheel): "Filter 1" always (it exists with the menu), then "Filter 2"
// ... "Filter N" (each the word and the blank-led number), at most
// kMaxFilterEntries in all.
std::vector<std::string> FilterEntryCaptions(int16_t count);
// Number of entries FilterEntryCaptions gives for a count.
int FilterEntryCount(int16_t count);
// Which of the entries (0-based) carries the check mark: element i is
// checked when curFilter equals i + 1 and i < count; -1 for none.
int CheckedFilterEntry(int16_t count, int16_t curFilter);

// The command history rule: the oldest entries go while the history holds
// `limit` or more (at least one entry is always kept room for), then the line
// becomes the first entry. Empty and repeated lines are kept.
void RememberInHistory(std::vector<std::string>& history, const std::string& line, int limit);

// The time line: milliseconds in decimal with one leading blank (" 125").
std::string TimeLineText(uint32_t elapsedMs);

// A wheel drawn as filter positions round a circle, numbered clockwise and
// turned so that the current filter stands at the top (the beam); filter 1
// stands there while the current filter is not known.
struct WheelMark {
  int number = 0;         // filter number, 1..N
  double angleDeg = 0;    // clockwise from the top, 0 <= a < 360
  bool current = false;   // the filter the caption shows
  bool labelled = false;  // few enough positions to write the number
};
struct WheelDrawing {
  std::vector<WheelMark> marks;  // empty when the count is unknown (< 1)
  std::string centreText;        // the button caption: "?" or the number
  bool known = false;            // the current filter is one of the marks
};
// Positions beyond kMaxDrawnMarks are not drawn one by one.
constexpr int kMaxDrawnMarks = 360;
constexpr int kMaxLabelledMarks = 24;
WheelDrawing MakeWheelDrawing(int16_t count, int16_t curFilter);

// "ZR_PARW1.TXT", "ZR_PARW2.TXT".
std::string WheelParFileName(int wheel);
// The file dialog's filter: "ZR_PARW1*.TXT".
std::string WheelParFilePattern(int wheel);

// "Read Par. File": copies dir + "/" + file over the wheel's own file
// programDir + "/ZR_PARW<n>.TXT", the one the wheel is read from (through a
// temporary file, so a failed copy leaves the old file whole). A file chosen
// in another folder therefore never writes a ZR_PARW<n>.TXT there.
// `source` receives the source path. 1 when copied, 2 when the source is the
// wheel's own file already (nothing to copy), -1 when the source cannot be
// read or the target cannot be written; 0 when dir or file is empty.
int16_t CopyWheelParFile(int wheel, const std::string& dir, const std::string& file,
                         const std::string& programDir, std::string& source);
// "Parameter file <source> read" / "Parameter file not read".
std::string ParFileReadMsg(const std::string& source);
extern const char* const kParFileNotRead;

}  // namespace nvx
