// One filter wheel as an INDI device: "Norvantix F" (wheel 1) or
// "Norvantix B" (wheel 2), over the program's core shared through the
// session.
//
// Besides the standard filter wheel properties (FILTER_SLOT 1..N with N from
// the wheel's parameter file, FILTER_NAME), a device has PROGRAM_DIR (where
// the data files are; set it before connecting; like SIMULATION, the other
// device follows),
// WHEEL_HOME (homes the wheel)
// and COMMAND_LINE (runs one line of the command language, LINE in, the
// joined reply in REPLY).
#pragma once

#include <indifilterwheel.h>
#include <indipropertyswitch.h>
#include <indipropertytext.h>

#include <cstdint>
#include <string>
#include <vector>

#include "indi/session.h"

namespace nvx::indi {

class WheelDevice : public INDI::FilterWheel, public Member {
 public:
  // wheel: 1 ("F") or 2 ("B").
  explicit WheelDevice(int16_t wheel);
  ~WheelDevice() override;

  const char* getDefaultName() override;
  bool initProperties() override;
  bool updateProperties() override;
  void ISGetProperties(const char* dev) override;
  bool ISNewNumber(const char* dev, const char* name, double values[], char* names[],
                   int n) override;
  bool ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[],
                   int n) override;
  bool ISNewText(const char* dev, const char* name, char* texts[], char* names[], int n) override;

  // Member
  const char* Name() override { return getDeviceName(); }
  void StateMayHaveChanged() override;

 protected:
  bool Connect() override;
  bool Disconnect() override;
  void simulationTriggered(bool enable) override;
  int QueryFilter() override;
  bool SelectFilter(int slot) override;
  bool GetFilterNames() override;
  bool SetFilterNames() override;
  bool saveConfigItems(FILE* fp) override;

 private:
  char Letter() const { return wheel_ == 1 ? 'F' : 'B'; }
  // Why the wheel cannot be used once the core runs ("" when it can).
  std::string WhyNotUsable() const;
  // FILTER_SLOT's range and FILTER_NAME from the wheel's filter count.
  void SetUpSlots();
  std::vector<std::string> ConfiguredNames();
  void SetNames(const std::vector<std::string>& names);
  void FreeNames();

  // The waiting work, each for the operation numbered op.
  void Move(unsigned op, int slot);
  void Home(unsigned op);
  void RunLine(unsigned link, const std::string& line);
  bool Current(unsigned op) const { return isConnected() && op == op_; }
  void SlotFailed(const std::string& why);

  int16_t wheel_;
  std::string name_;
  unsigned op_ = 0;    // number of the latest move or homing of this wheel
  unsigned link_ = 0;  // number of the latest connection or disconnection
  bool homing_ = false;
  bool moving_ = false;
  INDI::PropertyText ProgramDirTP{1};
  INDI::PropertySwitch HomeSP{1};
  INDI::PropertyText CommandTP{2};
};

}  // namespace nvx::indi
