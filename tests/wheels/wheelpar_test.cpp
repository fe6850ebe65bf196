#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "params/trapar.h"
#include "wheels/wheels.h"
#include "wheels_fixture.h"

namespace nvx::test {
namespace {

class ReadWheelParTest : public WheelDirTest {
 protected:
  // Values that no read of the standard file would produce, to see which
  // fields a failed read leaves alone.
  static void Seed(int n) {
    WheelPar(n) = {.address = 'Q',
                   .holdCurrent = 1,
                   .runCurrent = 2,
                   .slewVel = 3,
                   .initVel = 4,
                   .accel = 5,
                   .decel = 6,
                   .auxA = 0,
                   .auxB = 0,
                   .homeSpeed = 0,
                   .homeOffset = 7.5,
                   .filterCount = 8,
                   .StepsPerFilter = 400};
  }
  // The message for key `key` of wheel 1's file: "not found" or "has a bad value".
  std::string Msg(const std::string& key, const std::string& what = "not found") const {
    return "Parameter " + key + " " + what + " in " + Path("ZR_PARW1.TXT");
  }
  std::string Bad(const std::string& key) const { return Msg(key, "has a bad value"); }
};

TEST_F(ReadWheelParTest, ReadsEveryKey) {
  // A slew velocity beyond 16 bits is still a 32-bit value.
  PutWheel(1, {.hold = "12",
               .run = "55",
               .slew = "40000",
               .init = "300",
               .accel = "120",
               .offset = "-12.75"});
  Seed(1);
  ASSERT_EQ(ReadWheelPar(1), 1);
  const WheelParRec& w = WheelPar(1);
  EXPECT_EQ(w.address, 'A');
  EXPECT_EQ(w.holdCurrent, 12);
  EXPECT_EQ(w.runCurrent, 55);
  EXPECT_EQ(w.slewVel, 40000);
  EXPECT_EQ(w.initVel, 300);
  EXPECT_EQ(w.accel, 120);
  EXPECT_EQ(w.decel, 120);
  EXPECT_DOUBLE_EQ(w.homeOffset, -12.75);  // not rounded
  EXPECT_EQ(w.filterCount, 6);
  EXPECT_DOUBLE_EQ(w.StepsPerFilter, 3200.0 / 6.0);
  EXPECT_EQ(w.auxA, 10);
  EXPECT_EQ(w.auxB, 50);
  EXPECT_EQ(w.homeSpeed, -500);
  EXPECT_EQ(w.resExponent, 4);
  EXPECT_TRUE(ui_.boxes.empty());
  // The current parameter list now holds the wheel's file.
  EXPECT_EQ(GetParPath(), Path("ZR_PARW1.TXT"));
  EXPECT_EQ(ParCount(), 8);
}

TEST_F(ReadWheelParTest, WheelTwoReadsItsOwnFileAndKeys) {
  PutWheel(1, {});
  // Wheel 1's keys in wheel 2's file are not looked at.
  Put("ZR_PARW2.TXT", WheelFileText("W1", {}) + WheelFileText("W2", {.contr = "B", .filt = "8"}));
  ASSERT_EQ(ReadWheelPar(2), 1);
  EXPECT_EQ(WheelPar(2).address, 'B');
  EXPECT_EQ(WheelPar(2).filterCount, 8);
  EXPECT_DOUBLE_EQ(WheelPar(2).StepsPerFilter, 400.0);
  EXPECT_EQ(WheelPar(1).address, 0);  // wheel 1 untouched
  EXPECT_EQ(GetParPath(), Path("ZR_PARW2.TXT"));
}

TEST_F(ReadWheelParTest, MissingFileReadsNothing) {
  Seed(1);
  EXPECT_EQ(ReadWheelPar(1), -1);
  EXPECT_EQ(ui_.boxes,
            std::vector<std::string>{"File " + Path("ZR_PARW1.TXT") + " does not exist"});
  const WheelParRec& w = WheelPar(1);
  EXPECT_EQ(w.address, 'Q');
  EXPECT_EQ(w.filterCount, 8);
  EXPECT_DOUBLE_EQ(w.StepsPerFilter, 400.0);
  // The fixed values are set before the file is looked at.
  EXPECT_EQ(w.auxA, 10);
  EXPECT_EQ(w.auxB, 50);
  EXPECT_EQ(w.homeSpeed, -500);
}

TEST_F(ReadWheelParTest, NoSuchWheel) {
  for (int16_t n : std::initializer_list<int16_t>{0, 3}) EXPECT_EQ(ReadWheelPar(n), -1) << n;
  EXPECT_TRUE(ui_.boxes.empty());
}

class MissingKeyTable : public ReadWheelParTest,
                        public ::testing::WithParamInterface<std::string> {};

TEST_P(MissingKeyTable, OneMessageAndTheRestIsRead) {
  const std::string name = GetParam();
  PutWheel(1, {"C", "11", "22", "3333", "444", "55", "-66", "5"}, {name});
  Seed(1);
  EXPECT_EQ(ReadWheelPar(1), -1);
  EXPECT_EQ(ui_.boxes, std::vector<std::string>{Msg("W1" + name)});
  EXPECT_EQ(ui_.icons, std::vector<MsgIcon>{MsgIcon::Critical});
  const WheelParRec& w = WheelPar(1);
  EXPECT_EQ(w.address, name == "CONTR" ? 'Q' : 'C');
  EXPECT_EQ(w.holdCurrent, name == "HOLDCURRENT" ? 1 : 11);
  EXPECT_EQ(w.runCurrent, name == "RUNCURRENT" ? 2 : 22);
  EXPECT_EQ(w.slewVel, name == "SLEWVELOCITY" ? 3 : 3333);
  EXPECT_EQ(w.initVel, name == "INITVELOCITY" ? 4 : 444);
  EXPECT_EQ(w.accel, name == "ACCELERATION" ? 5 : 55);
  // The deceleration follows the acceleration field even when it was missing.
  EXPECT_EQ(w.decel, w.accel);
  EXPECT_DOUBLE_EQ(w.homeOffset, name == "OFFSETHOME" ? 7.5 : -66.0);
  EXPECT_EQ(w.filterCount, name == "FILTPOSITIONS" ? 8 : 5);
  EXPECT_DOUBLE_EQ(w.StepsPerFilter, name == "FILTPOSITIONS" ? 400.0 : 640.0);
}

INSTANTIATE_TEST_SUITE_P(EveryKey, MissingKeyTable, ::testing::ValuesIn(WheelKeyNames()));

// Keys of the other wheel, or in the wrong case, are not wheel 1's keys: one
// message per key, in file order.
TEST_F(ReadWheelParTest, OtherKeysGiveEightMessagesInOrder) {
  for (const char* prefix : {"W2", "w1"}) {
    ui_.boxes.clear();
    Put("ZR_PARW1.TXT", WheelFileText(prefix, {}));
    EXPECT_EQ(ReadWheelPar(1), -1) << prefix;
    ASSERT_EQ(ui_.boxes.size(), 8u) << prefix;
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(ui_.boxes[i], Msg("W1" + WheelKeyNames()[i]));
  }
}

TEST_F(ReadWheelParTest, AddressIsTheFirstCharacterOfTheTrimmedText) {
  const struct {
    std::string text;
    int16_t address;
  } cases[] = {{" a ", 'a'}, {"12", '1'},  {"A", 'A'},
               {"F", 'F'},   {"  9", '9'}, {"\xC3\xA9", 0xC3}};  // a byte, never negative
  for (const auto& c : cases) {
    PutWheel(1, {.contr = c.text});
    ASSERT_EQ(ReadWheelPar(1), 1) << c.text;
    EXPECT_EQ(WheelPar(1).address, c.address) << c.text;
  }
}

TEST_F(ReadWheelParTest, EmptyAddressFails) {
  PutWheel(1, {.contr = ""});
  Seed(1);
  EXPECT_EQ(ReadWheelPar(1), -1);
  EXPECT_EQ(ui_.boxes, std::vector<std::string>{Bad("W1CONTR")});
  EXPECT_EQ(WheelPar(1).address, 'Q');
  EXPECT_EQ(WheelPar(1).filterCount, 6);  // the other keys are still read
}

TEST_F(ReadWheelParTest, NumbersConvertOrFail) {
  struct Case {
    std::string name;  // key name after "W1"
    std::string text;
    bool ok;
    double stored;  // what the field holds afterwards (the seed when !ok)
  };
  const Case cases[] = {// Halves to even.
                        {"HOLDCURRENT", "12.5", true, 12},
                        {"HOLDCURRENT", "13.5", true, 14},
                        {"RUNCURRENT", "-0.5", true, 0},
                        {"ACCELERATION", "2.5e1", true, 25},
                        {"FILTPOSITIONS", "6.5", true, 6},
                        {"FILTPOSITIONS", "7.5", true, 8},
                        {"FILTPOSITIONS", "1", true, 1},
                        {"OFFSETHOME", ".25", true, 0.25},
                        // Ranges: 16 bits for currents and the filter count, 32 for speeds.
                        {"HOLDCURRENT", "32767", true, 32767},
                        {"HOLDCURRENT", "32768", false, 1},
                        {"RUNCURRENT", "-32769", false, 2},
                        {"SLEWVELOCITY", "2147483647", true, 2147483647.0},
                        {"SLEWVELOCITY", "3e9", false, 3},
                        {"INITVELOCITY", "-2147483649", false, 4},
                        {"ACCELERATION", "1e300", false, 5},
                        // Not numbers.
                        {"HOLDCURRENT", "ten", false, 1},
                        {"SLEWVELOCITY", "0x10", false, 3},
                        {"OFFSETHOME", "x", false, 7.5},
                        {"INITVELOCITY", "", false, 4},
                        // A filter count must be at least 1.
                        {"FILTPOSITIONS", "0", false, 8},
                        {"FILTPOSITIONS", "-3", false, 8},
                        {"FILTPOSITIONS", "0.4", false, 8},
                        {"FILTPOSITIONS", "x", false, 8},
                        {"FILTPOSITIONS", "40000", false, 8},
                        // A slew velocity of 0 or less would never end a move.
                        {"SLEWVELOCITY", "0", false, 3},
                        {"SLEWVELOCITY", "-100", false, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " " + c.text);
    // The file with this key's text; the other keys keep their usable values.
    WheelFileValues v;
    std::string* texts[] = {&v.contr, &v.hold,  &v.run,    &v.slew,
                            &v.init,  &v.accel, &v.offset, &v.filt};
    const auto& names = WheelKeyNames();
    const auto i =
        static_cast<size_t>(std::find(names.begin(), names.end(), c.name) - names.begin());
    *texts[i] = c.text;
    PutWheel(1, v);
    Seed(1);
    ui_.boxes.clear();
    EXPECT_EQ(ReadWheelPar(1), c.ok ? 1 : -1);
    const WheelParRec& w = WheelPar(1);
    const double fields[] = {0,
                             1.0 * w.holdCurrent,
                             1.0 * w.runCurrent,
                             1.0 * w.slewVel,
                             1.0 * w.initVel,
                             1.0 * w.accel,
                             w.homeOffset,
                             1.0 * w.filterCount};
    EXPECT_DOUBLE_EQ(fields[i], c.stored);
    const std::vector<std::string> none, bad = {Bad("W1" + c.name)};
    EXPECT_EQ(ui_.boxes, c.ok ? none : bad);
  }
}

TEST_F(ReadWheelParTest, RefusedFilterCountKeepsTheEarlierGeometry) {
  PutWheel(1, {.filt = "0"});
  EXPECT_EQ(ReadWheelPar(1), -1);
  // Never read a usable count: nothing to divide by, nothing computed.
  EXPECT_EQ(WheelPar(1).filterCount, 0);
  EXPECT_DOUBLE_EQ(WheelPar(1).StepsPerFilter, 0.0);
}

TEST_F(ReadWheelParTest, BinaryGarbageFailsCleanly) {
  std::string junk = "\"W1CONTR\",\x01\x02\r\n\"W1FILTPOSITIONS\",\xff\xfe\r\n";
  junk += std::string(5000, '\0') + "\r\n";
  Put("ZR_PARW1.TXT", junk);
  EXPECT_EQ(ReadWheelPar(1), -1);
  EXPECT_EQ(WheelPar(1).address, 1);
  EXPECT_EQ(WheelPar(1).filterCount, 0);
}

}  // namespace
}  // namespace nvx::test
