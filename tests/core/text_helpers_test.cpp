#include <gtest/gtest.h>

#include "core/commands.h"

namespace nvx {
namespace {

TEST(TextHelpers, SplitFirstWord) {
  struct Case {
    const char* in;
    const char* word;
    const char* rest;
    int len;
  };
  const Case cases[] = {
      {"F Home", "F", "Home", 1},
      {"  F   Home  now ", "F", "Home  now", 1},
      {"Ver", "Ver", "", 3},
      {"", "", "", 0},
      {"    ", "", "", 0},
      {"\tF 1", "\tF", "1", 2},
      {"CommandCount", "CommandCount", "", 12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    std::string text = c.in, word = "junk";
    EXPECT_EQ(SplitFirstWord(text, word), c.len);
    EXPECT_EQ(word, c.word);
    EXPECT_EQ(text, c.rest);
  }
}

TEST(TextHelpers, SplitAt) {
  struct Case {
    const char* in;
    const char* piece;
    const char* rest;
    int len;
  };
  const Case cases[] = {
      {"F 1;B 2", "F 1", "B 2", 3}, {"F 1", "F 1", "", 3}, {";F 1", "", "F 1", 0},
      {"F 1;", "F 1", "", 3},       {"", "", "", 0},       {" ; ", " ", " ", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    std::string text = c.in, piece = "junk";
    EXPECT_EQ(SplitAt(text, piece, ";"), c.len);
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
  const Case cases[] = {
      {"3", true, "3"},
      {"2.5", true, "2.5"},
      {" 7 ", true, " 7 "},
      {"RED", true, " 3"},
      {"red", false, "red"},
      {"NEG", true, "-2"},
      {"BIG", true, " 1000000000"},
      {"BAD", false, "BAD"},
      {"HALF", true, " .5"},
      {"GREEN", false, "GREEN"},
      {"", false, ""},
  };
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
