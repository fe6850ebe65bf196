// Text field files (programs, the joystick command list) from any bytes: the
// fields, the list's text form and back, and the bytes as a program: its
// check (which re-indents, and gives the same again when run twice) and its
// written form.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "interp/interp.h"
#include "params/trapar.h"

using namespace nvx;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::InstallQuietHost();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  bool tooMany = false;
  std::vector<std::string> fields = ParseTextFields(bytes, tooMany);
  if (tooMany || fields.empty()) return 0;

  // The editor's text of a list gives the list again (one empty field is
  // the text of an empty list).
  TextFieldList list;
  list.created = true;
  list.items = fields;
  const TextFieldList back = SplitLines(JoinLines(list));
  if (!(fields.size() == 1 && fields[0].empty()) && back.items != fields) std::abort();

  std::vector<std::string> program = fields;
  const int16_t checked = CheckProgram(program);
  std::vector<std::string> recheck = program;
  if (CheckProgram(recheck) != checked || recheck != program) std::abort();
  std::vector<std::string> written;
  if (ProgramForFile(program, written) == 1 && written.size() != program.size()) std::abort();
  return 0;
}
