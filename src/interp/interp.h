// The interpreter: the one program, its checking, its file forms, its run
// state and the steps of a run, and the handler of the control words
// "Repeat", "Endrepeat", "Stop", "End" and "Call" that the command language
// offers every command to first. The tick that runs a program's lines lives
// with the command language (core/tick.h); the interpreter window's rows are
// in interp/interp_view.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nvx {

// --- the program ---------------------------------------------------------

// At most this many lines (a line index is 16-bit).
constexpr int32_t kMaxProgramLines = 32767;

// The one program; never empty (holds "End" after start-up).
std::vector<std::string>& ProgramLines();
// Replaces the program (an empty list becomes "End") and shows it from
// line 0 in the interpreter window's rows.
void SetProgram(std::vector<std::string> lines);
// The last program file read or written.
std::string& ProgramPath();

// Re-indents the blocks in place (four blanks a level): 1 when they are
// balanced, -1 otherwise. An "Endrepeat" without its "Repeat" stops the
// check there and leaves that line and the rest as they were.
int16_t CheckProgram(std::vector<std::string>& lines);
// The lines as a program file holds them: "Repeat" lines plain and
// unindented, the others unchanged. -1 (and the "Error in Command #" box)
// for a "Repeat" line without a 16-bit count; out is then incomplete.
int16_t ProgramForFile(const std::vector<std::string>& lines, std::vector<std::string>& out);

// Reads a program file as the window's "Read" does once a file was chosen:
// the path becomes ProgramPath, the lines replace the program, the check
// runs, the rows show it from line 0 and edits are allowed again. Returns the
// message: "Program read", "Program has mistakes" or "Program not read" (a
// missing file has shown its own box first; the program is then unchanged).
std::string ReadProgramFile(const std::string& path);

// The program's file dialog and its OK/Cancel question, as the window
// offers them.
struct ProgramFileDialogs {
  // Start directory, filter, pattern list and title in; the chosen directory
  // and file name out (either empty: nothing chosen).
  std::function<void(const std::string& startDir, const std::string& filter,
                     const std::string& patterns, const std::string& title, std::string& dir,
                     std::string& file)>
      choose;
  // true for OK.
  std::function<bool(const std::string& text, const std::string& title)> confirm;
};
// The window's "Read" and "Write": each ends with its message on the
// interpreter window's message line.
void ReadProgram(const ProgramFileDialogs& dialogs);
void WriteProgram(const ProgramFileDialogs& dialogs);

// --- the run -------------------------------------------------------------

int16_t& RunState();  // 0 idle, 1 running, 2 single line
int16_t& NextLine();  // index of the line after the current one
int16_t& EditAllowed();
uint32_t& RunStart();   // the clock when the continuous run started
int32_t& LastTenths();  // the elapsed time last shown, in tenths of a second
// The interpreter's last status: "PROGRAM (RE)STARTED", "PROGRAM FINISHED",
// "PROGRAM STOPPED", "PROGRAM INTERRUPTED", or "PROGRAM PAUSED" after a
// "Stop" line (which shows no message).
std::string& RunStatus();

void StartRun();
void StepOnce();
void StopRun();
void StartOver();
// The next line into the command box, its row selected and in view; the
// literal "End" past the last line.
std::string FetchNextLine();
// Selects a row and puts the line it shows into the command box: that
// line's index, or -1 for a row that shows no line.
int16_t SelectRow(int16_t row);
// The end of a run by the tick: Run option off, controls enabled, status.
void EndRun(const std::string& status);
// The elapsed time of a run on the interpreter window's time label.
void ShowElapsed(uint32_t ms);
// tenths / 10 as the label shows it: "0", "0.1", "12.5" with the separator.
std::string FormatTenths(int32_t tenths, const std::string& separator);

// 1 handled, -1 handled with an error, 0 not a control word.
int16_t ExecControlWord(const std::string& command);

// Where the program's lines go into the main window's command box (the core
// installs it; it does nothing while that window is not loaded).
void SetCommandBoxSink(std::function<void(const std::string&)> sink);

// Writes the interpreter window's message line when that window is loaded;
// otherwise to the message sink when a front end installed one (the
// windowless run writes them to standard error); otherwise nowhere.
void ShowInterpMessage(const std::string& text);
void SetInterpMessageSink(std::function<void(const std::string&)> sink);

// Every interpreter state back to its start-up value: the program "End",
// the run, the rows and controls (the hooks stay).
void ResetInterpreter();

}  // namespace nvx
