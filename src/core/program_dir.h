// Where the program keeps its data files when no --dir names a directory.
//
// A program that stands beside its data files (a build folder, an unpacked
// copy) uses the folder it stands in. An installed program finds its default
// data files, read-only, in the data directory beside its bin directory
// (<prefix>/share/norvantix) and uses the user's own program directory,
// $XDG_CONFIG_HOME/norvantix (~/.config/norvantix), which the first start
// fills from those defaults.
#pragma once

#include <string>

namespace nvx {

// The running executable's directory, with a trailing '/'.
std::string ExecutableDir();

struct ProgramDirChoice {
  std::string dir;          // the program directory, with a trailing '/'
  std::string defaultsDir;  // the installed defaults to fill it from; "" when none
};

// The choice for an executable standing in exeDir (with or without a
// trailing '/'). dataFromBin is the installed data directory relative to the
// bin directory ("../share/norvantix").
ProgramDirChoice ChooseProgramDir(const std::string& exeDir, const std::string& dataFromBin);

// The same for the running executable and this build's installed layout.
ProgramDirChoice DefaultProgramDir();

// Creates dir (and its parents) when needed and copies into it each regular
// file of defaultsDir that it does not hold yet; files already there are
// kept as they are. Each copy is written to a temporary file and renamed.
// true when every file is in place; false with a message naming what failed.
bool FillProgramDir(const std::string& dir, const std::string& defaultsDir, std::string& error);

// The directory the program uses: given (--dir) when not empty, else the
// default one, filled from the installed defaults when it holds no
// configuration yet (the first start). A failed fill is reported
// in `error` and the directory is used all the same (start-up then names
// the missing files).
std::string PrepareProgramDir(const std::string& given, std::string& error);

}  // namespace nvx
