#include <gtest/gtest.h>

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
  void Seed(int n) {
    WheelParRec& w = WheelPar(n);
    w.address = 'Q';
    w.holdCurrent = 1;
    w.runCurrent = 2;
    w.slewVel = 3;
    w.initVel = 4;
    w.accel = 5;
    w.decel = 6;
    w.homeOffset = 7.5;
    w.filterCount = 8;
    w.StepsPerFilter = 400;
    w.auxA = 0;
    w.auxB = 0;
    w.homeSpeed = 0;
  }
  std::string Missing(const std::string& key, int n = 1) const {
    return "Parameter " + key + " not found in " + Path("ZR_PARW" + std::to_string(n) + ".TXT");
  }
  std::string Bad(const std::string& key, int n = 1) const {
    return "Parameter " + key + " has a bad value in " +
           Path("ZR_PARW" + std::to_string(n) + ".TXT");
  }
};

TEST_F(ReadWheelParTest, ReadsEveryKey) {
  WheelFileValues v;
  v.contr = "A";
  v.hold = "12";
  v.run = "55";
  v.slew = "40000";  // beyond 16 bits, still a 32-bit value
  v.init = "300";
  v.accel = "120";
  v.offset = "-12.75";
  v.filt = "6";
  PutWheel(1, v);
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
  WheelFileValues v1;
  v1.contr = "A";
  PutWheel(1, v1);
  WheelFileValues v2;
  v2.contr = "B";
  v2.filt = "8";
  // Wheel 1's keys in wheel 2's file are not looked at.
  Put("ZR_PARW2.TXT", WheelFileText("W1", v1) + WheelFileText("W2", v2));
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
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0], "File " + Path("ZR_PARW1.TXT") + " does not exist");
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
  EXPECT_EQ(ReadWheelPar(0), -1);
  EXPECT_EQ(ReadWheelPar(3), -1);
  EXPECT_TRUE(ui_.boxes.empty());
}

class MissingKeyTable : public ReadWheelParTest,
                        public ::testing::WithParamInterface<std::string> {};

TEST_P(MissingKeyTable, OneMessageAndTheRestIsRead) {
  const std::string name = GetParam();
  WheelFileValues v;
  v.contr = "C";
  v.hold = "11";
  v.run = "22";
  v.slew = "3333";
  v.init = "444";
  v.accel = "55";
  v.offset = "-66";
  v.filt = "5";
  PutWheel(1, v, {name});
  Seed(1);
  EXPECT_EQ(ReadWheelPar(1), -1);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0], Missing("W1" + name));
  EXPECT_EQ(ui_.icons[0], MsgIcon::Critical);
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

TEST_F(ReadWheelParTest, OtherWheelsKeysGiveEightMessagesInOrder) {
  Put("ZR_PARW1.TXT", WheelFileText("W2", WheelFileValues{}));
  EXPECT_EQ(ReadWheelPar(1), -1);
  ASSERT_EQ(ui_.boxes.size(), 8u);
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(ui_.boxes[i], Missing("W1" + WheelKeyNames()[i]));
  }
}

TEST_F(ReadWheelParTest, KeysAreCaseSensitive) {
  Put("ZR_PARW1.TXT", WheelFileText("w1", WheelFileValues{}));
  EXPECT_EQ(ReadWheelPar(1), -1);
  EXPECT_EQ(ui_.boxes.size(), 8u);
}

struct ContrCase {
  std::string text;
  int16_t address;
};

class ContrTable : public ReadWheelParTest, public ::testing::WithParamInterface<ContrCase> {};

TEST_P(ContrTable, FirstCharacterOfTheTrimmedText) {
  WheelFileValues v;
  v.contr = GetParam().text;
  PutWheel(1, v);
  ASSERT_EQ(ReadWheelPar(1), 1);
  EXPECT_EQ(WheelPar(1).address, GetParam().address);
}

INSTANTIATE_TEST_SUITE_P(Cases, ContrTable,
                         ::testing::Values(ContrCase{" a ", 'a'}, ContrCase{"12", '1'},
                                           ContrCase{"A", 'A'}, ContrCase{"F", 'F'},
                                           ContrCase{"  9", '9'},
                                           ContrCase{"\xC3\xA9", 0xC3}));  // a byte, never negative

TEST_F(ReadWheelParTest, EmptyAddressFails) {
  WheelFileValues v;
  v.contr = "";
  PutWheel(1, v);
  Seed(1);
  EXPECT_EQ(ReadWheelPar(1), -1);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0], Bad("W1CONTR"));
  EXPECT_EQ(WheelPar(1).address, 'Q');
  EXPECT_EQ(WheelPar(1).filterCount, 6);  // the other keys are still read
}

struct NumberCase {
  std::string name;  // key name after "W1"
  std::string text;
  bool ok;
  double stored;  // what the field holds afterwards (the seed when !ok)
};

class NumberTable : public ReadWheelParTest, public ::testing::WithParamInterface<NumberCase> {
 protected:
  static double Field(const std::string& name) {
    const WheelParRec& w = WheelPar(1);
    if (name == "HOLDCURRENT") return w.holdCurrent;
    if (name == "RUNCURRENT") return w.runCurrent;
    if (name == "SLEWVELOCITY") return w.slewVel;
    if (name == "INITVELOCITY") return w.initVel;
    if (name == "ACCELERATION") return w.accel;
    if (name == "OFFSETHOME") return w.homeOffset;
    return w.filterCount;
  }
};

TEST_P(NumberTable, ConvertsOrFails) {
  const auto& c = GetParam();
  WheelFileValues v;
  if (c.name == "HOLDCURRENT") v.hold = c.text;
  if (c.name == "RUNCURRENT") v.run = c.text;
  if (c.name == "SLEWVELOCITY") v.slew = c.text;
  if (c.name == "INITVELOCITY") v.init = c.text;
  if (c.name == "ACCELERATION") v.accel = c.text;
  if (c.name == "OFFSETHOME") v.offset = c.text;
  if (c.name == "FILTPOSITIONS") v.filt = c.text;
  PutWheel(1, v);
  Seed(1);
  EXPECT_EQ(ReadWheelPar(1), c.ok ? 1 : -1);
  EXPECT_DOUBLE_EQ(Field(c.name), c.stored);
  if (c.ok) {
    EXPECT_TRUE(ui_.boxes.empty());
  } else {
    ASSERT_EQ(ui_.boxes.size(), 1u);
    EXPECT_EQ(ui_.boxes[0], Bad("W1" + c.name));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberTable,
    ::testing::Values(
        // Halves to even.
        NumberCase{"HOLDCURRENT", "12.5", true, 12}, NumberCase{"HOLDCURRENT", "13.5", true, 14},
        NumberCase{"RUNCURRENT", "-0.5", true, 0}, NumberCase{"ACCELERATION", "2.5e1", true, 25},
        NumberCase{"FILTPOSITIONS", "6.5", true, 6}, NumberCase{"FILTPOSITIONS", "7.5", true, 8},
        NumberCase{"FILTPOSITIONS", "1", true, 1}, NumberCase{"OFFSETHOME", ".25", true, 0.25},
        // Ranges: 16 bits for currents and the filter count, 32 for speeds.
        NumberCase{"HOLDCURRENT", "32767", true, 32767},
        NumberCase{"HOLDCURRENT", "32768", false, 1},
        NumberCase{"RUNCURRENT", "-32769", false, 2},
        NumberCase{"SLEWVELOCITY", "2147483647", true, 2147483647.0},
        NumberCase{"SLEWVELOCITY", "3e9", false, 3},
        NumberCase{"INITVELOCITY", "-2147483649", false, 4},
        NumberCase{"ACCELERATION", "1e300", false, 5},
        // Not numbers.
        NumberCase{"HOLDCURRENT", "ten", false, 1}, NumberCase{"SLEWVELOCITY", "0x10", false, 3},
        NumberCase{"OFFSETHOME", "x", false, 7.5}, NumberCase{"INITVELOCITY", "", false, 4},
        // A filter count must be at least 1.
        NumberCase{"FILTPOSITIONS", "0", false, 8}, NumberCase{"FILTPOSITIONS", "-3", false, 8},
        NumberCase{"FILTPOSITIONS", "0.4", false, 8}, NumberCase{"FILTPOSITIONS", "x", false, 8},
        NumberCase{"FILTPOSITIONS", "40000", false, 8}));

TEST_F(ReadWheelParTest, RefusedFilterCountKeepsTheEarlierGeometry) {
  WheelFileValues v;
  v.filt = "0";
  PutWheel(1, v);
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
