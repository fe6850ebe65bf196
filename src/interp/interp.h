// The program the interpreter runs, its run state, and the handler of the
// control words "Repeat", "Endrepeat", "Stop", "End" and "Call" that the
// command language offers every command to first.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nvx {

// The one program; never empty (holds "End" after start-up).
std::vector<std::string>& ProgramLines();
void SetProgram(std::vector<std::string> lines);

int16_t& RunState();   // 0 idle, 1 running, 2 single line
int16_t& NextLine();   // index of the line after the current one
int16_t& EditAllowed();

// 1 handled, -1 handled with an error, 0 not a control word.
int16_t ExecControlWord(const std::string& command);

// Called when a program line was rewritten by the control handler (the
// interpreter window redraws that row); nothing by default.
void SetProgramLineChangedHook(std::function<void(int16_t index)> hook);

// Writes the interpreter window's message line when that window is loaded.
void ShowInterpMessage(const std::string& text);

}  // namespace nvx
