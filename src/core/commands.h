// The command language: command lines of ";"-separated commands, each
// answering with a reply text ("OK ", "Error ...", "Off ", ...).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/words.h"
#include "params/trapar.h"

namespace nvx {

// The joined reply; each single reply also goes to `replies` when given.
std::string ExecCmdLine(const std::string& line, std::vector<std::string>* replies = nullptr);
std::string ExecCmd(const std::string& command);
// The operation of the command "Wait": ExecCmd of LastWheel + " Wait" (one
// more command, with its own echo and reply), which returns once that wheel
// stands; "1" at once when no wheel command was given yet.
std::string WaitLastWheel();

// A number, or a symbolic constant replaced by its value in leading-blank form.
bool IsNumOrConst(std::string& word);

// The main window's lines (the model's); all do nothing while the main
// window is not loaded. IsFormLoaded asks the model for "frmWheel" and the
// host for any other window.
void ShowCmdResult(const std::string& echo, const std::string& reply);
void ShowMsg(const std::string& text);
void SetCmdText(const std::string& text);
int16_t IsFormLoaded(const std::string& name);

// Program-wide command state.
int32_t& CommandCount();
int16_t& CmdBusy();
std::string& LastWheel();
ParamList& SymConst();
TextFieldList& JoyCommands();

int16_t SaveJoyCmds();

// Back to the state at program start (tests).
void ResetCommandState();

}  // namespace nvx
