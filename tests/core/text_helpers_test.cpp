#include <gtest/gtest.h>

#include "core/commands.h"

namespace nvx {
namespace {

TEST(TextHelpers, SplitFirstWordAndSplitAt) {
  struct Case {
    const char* in;
    bool at;  // SplitAt ";" instead of SplitFirstWord
    const char* piece;
    const char* rest;
    int len;
  };
  // clang-format off
  const Case cases[] = {
      {"F Home", false, "F", "Home", 1}, {"  F   Home  now ", false, "F", "Home  now", 1},
      {"Ver", false, "Ver", "", 3}, {"", false, "", "", 0}, {"    ", false, "", "", 0},
      {"\tF 1", false, "\tF", "1", 2}, {"CommandCount", false, "CommandCount", "", 12},
      {"F 1;B 2", true, "F 1", "B 2", 3}, {"F 1", true, "F 1", "", 3}, {";F 1", true, "", "F 1", 0},
      {"F 1;", true, "F 1", "", 3}, {"", true, "", "", 0}, {" ; ", true, " ", " ", 1},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    std::string text = c.in, piece = "junk";
    EXPECT_EQ(c.at ? SplitAt(text, piece, ";") : SplitFirstWord(text, piece), c.len);
    EXPECT_EQ(piece, c.piece);
    EXPECT_EQ(text, c.rest);
  }
}

TEST(TextHelpers, IsNumOrConstSubstitutesConstants) {
  ResetCommandState();
  SymConst() = {{"RED", std::string("3")},  {"BIG", std::string("1e9")},
                {"NEG", std::string("-2")}, {"BAD", std::string("abc")},
                {"RED", std::string("9")},  {"HALF", 0.5}};
  struct Case {
    const char* in;
    bool ok;
    const char* out;
  };
  // clang-format off
  const Case cases[] = {
      {"3", true, "3"}, {"2.5", true, "2.5"}, {" 7 ", true, " 7 "}, {"RED", true, " 3"},
      {"red", false, "red"}, {"NEG", true, "-2"}, {"BIG", true, " 1000000000"},
      {"BAD", false, "BAD"}, {"HALF", true, " .5"}, {"GREEN", false, "GREEN"}, {"", false, ""},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    std::string w = c.in;
    EXPECT_EQ(IsNumOrConst(w), c.ok);
    EXPECT_EQ(w, c.out);
  }
  ResetCommandState();
}

}  // namespace
}  // namespace nvx
