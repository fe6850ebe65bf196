#include "indi/wheel_device.h"

#include <indilogger.h>
#include <lilxml.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/settings.h"
#include "base/words.h"
#include "comm/comm.h"
#include "core/commands.h"
#include "core/main_model.h"
#include "core/program_dir.h"
#include "core/wheel_actions.h"
#include "indi/filter_names.h"
#include "wheels/wheels.h"

#ifndef NVX_VERSION_MAJOR
#define NVX_VERSION_MAJOR 4
#define NVX_VERSION_MINOR 0
#endif

namespace nvx::indi {

namespace {

constexpr const char* kNamesProperty = "FILTER_NAME";

// The driver's devices: the program directory is one setting of them all.
std::vector<WheelDevice*>& Devices() {
  static std::vector<WheelDevice*> devices;
  return devices;
}

// " (last message: ...)" from the main window's message line, where the
// serial link reports its failures; "" when it is empty.
std::string LineDetail() {
  const std::string& msg = MainWin().Msg();
  return msg.empty() ? std::string() : " (last message: " + msg + ")";
}

}  // namespace

WheelDevice::WheelDevice(int16_t wheel) : wheel_(wheel) {
  name_ = std::string("Norvantix ") + Letter();
  setVersion(NVX_VERSION_MAJOR, NVX_VERSION_MINOR);
  // Named now, so that neither INDIDEV nor the first client's request can
  // give both devices of this driver the same name.
  setDeviceName(name_.c_str());
  Devices().push_back(this);
}

WheelDevice::~WheelDevice() {
  FreeNames();
  std::erase(Devices(), this);
}

const char* WheelDevice::getDefaultName() { return name_.c_str(); }

bool WheelDevice::initProperties() {
  INDI::FilterWheel::initProperties();
  addDebugControl();
  addSimulationControl();

  ProgramDirTP[0].fill("DIR", "Directory", DefaultProgramDir().dir.c_str());
  ProgramDirTP.fill(getDeviceName(), "PROGRAM_DIR", "Program dir", OPTIONS_TAB, IP_RW, 0, IPS_IDLE);
  registerProperty(ProgramDirTP);

  HomeSP[0].fill("HOME", "Home", ISS_OFF);
  HomeSP.fill(getDeviceName(), "WHEEL_HOME", "Homing", FILTER_TAB, IP_RW, ISR_ATMOST1, 60,
              IPS_IDLE);

  CommandTP[0].fill("LINE", "Line", "");
  CommandTP[1].fill("REPLY", "Reply", "");
  CommandTP.fill(getDeviceName(), "COMMAND_LINE", "Command line", MAIN_CONTROL_TAB, IP_RW, 60,
                 IPS_IDLE);
  return true;
}

void WheelDevice::ISGetProperties(const char* dev) {
  if (dev != nullptr && std::strcmp(dev, getDeviceName()) != 0) return;
  const bool first = !isInitializationComplete();
  INDI::FilterWheel::ISGetProperties(dev);
  if (first) loadConfig(true, ProgramDirTP.getName());
}

bool WheelDevice::updateProperties() {
  INDI::FilterWheel::updateProperties();
  if (isConnected()) {
    defineProperty(HomeSP);
    defineProperty(CommandTP);
  } else {
    deleteProperty(HomeSP.getName());
    deleteProperty(CommandTP.getName());
  }
  return true;
}

// --- connecting -------------------------------------------------------------

bool WheelDevice::Connect() {
  std::string dir = ProgramDirTP[0].getText() ? ProgramDirTP[0].getText() : "";
  const ProgramDirChoice installed = DefaultProgramDir();
  if (dir.empty() || DirWithSlash(dir) == installed.dir) {
    std::string error;
    dir = PrepareProgramDir("", error);
    if (!error.empty()) LOGF_WARN("%s", error.c_str());
  }
  std::string why;
  if (!Session::Get().Join(*this, dir, isSimulation(), why)) {
    LOGF_ERROR("Cannot connect: %s", why.c_str());
    return false;
  }
  why = WhyNotUsable();
  if (!why.empty()) {
    LOGF_ERROR("Cannot connect: %s", why.c_str());
    Session::Get().Leave(*this);
    return false;
  }
  ++op_;
  ++link_;
  moving_ = homing_ = false;
  SetUpSlots();
  const int16_t k = CurFilter(wheel_);
  CurrentFilter = k;
  FilterSlotN[0].value = k;
  FilterSlotNP.s = k > 0 ? IPS_OK : IPS_IDLE;
  LOGF_INFO(
      "Wheel %c is online: %d filters, slot %d, %s in %s.", Letter(), WheelPar(wheel_).filterCount,
      k,
      isSimulation() ? "simulated controllers" : PortDevicePath(AppSettings().PortNumber).c_str(),
      Session::Get().Dir().c_str());
  return true;
}

bool WheelDevice::Disconnect() {
  // Work still waiting for this wheel reports nothing any more.
  ++op_;
  ++link_;
  moving_ = homing_ = false;
  Session::Get().Leave(*this);
  LOGF_INFO("Wheel %c is offline.", Letter());
  return true;
}

std::string WheelDevice::WhyNotUsable() const {
  const Settings& s = AppSettings();
  const std::string wheel = std::string("wheel ") + Letter();
  const std::string config = Session::Get().Dir() + "ZR_CONFIG.TXT";
  if (std::FILE* f = std::fopen(config.c_str(), "r")) {
    std::fclose(f);
  } else {
    return "there is no configuration " + config + ": set PROGRAM_DIR to the program directory";
  }
  if (s.WheelInstalled[wheel_] != 1) {
    return wheel + " is not installed: W" + std::to_string(wheel_) + "_INSTALLED is not 1 in " +
           config;
  }
  if (WheelOnline(wheel_) == 1) return "";
  if (s.Controller == ControllerKind::None) {
    return wheel + " has no controller: CONTRTYPE \"" + s.ControllerType + "\" in " + config +
           " is neither IM483I nor EZHR17";
  }
  const std::string port = PortDevicePath(s.PortNumber);
  if (CommPortIsOpen() != -1) return "the serial port " + port + " did not open" + LineDetail();
  if (WheelPar(wheel_).filterCount <= 0) {
    return wheel + " has no usable parameter file ZR_PARW" + std::to_string(wheel_) + ".TXT in " +
           Session::Get().Dir();
  }
  const auto address = static_cast<char>(WheelPar(wheel_).address);
  return wheel + " does not answer: no valid reply from its controller at address '" +
         std::string(1, address) + "' on " + port + LineDetail();
}

// --- slots and names ----------------------------------------------------------

void WheelDevice::SetUpSlots() {
  const int count = WheelPar(wheel_).filterCount;
  FilterSlotN[0].min = 1;
  FilterSlotN[0].max = count;
  std::vector<std::string> names = DefaultFilterNames(SymConst(), count);
  // Names a client gave are kept in the INDI configuration and win.
  const std::vector<std::string> kept = ConfiguredNames();
  for (size_t i = 0; i < kept.size() && i < names.size(); ++i) names[i] = kept[i];
  SetNames(names);
}

std::vector<std::string> WheelDevice::ConfiguredNames() {
  std::vector<std::string> names;
  char errmsg[MAXRBUF];
  FILE* fp = IUGetConfigFP(nullptr, getDeviceName(), "r", errmsg);
  if (fp == nullptr) return names;
  LilXML* lp = newLilXML();
  XMLEle* root = readXMLFile(fp, lp, errmsg);
  std::fclose(fp);
  delLilXML(lp);
  if (root == nullptr) return names;
  for (XMLEle* ep = nextXMLEle(root, 1); ep != nullptr; ep = nextXMLEle(root, 0)) {
    const char* name = findXMLAttValu(ep, "name");
    if (std::strcmp(name, kNamesProperty) != 0) continue;
    for (XMLEle* t = nextXMLEle(ep, 1); t != nullptr; t = nextXMLEle(ep, 0)) {
      // The configuration writes each text on a line of its own.
      std::string text = pcdataXMLEle(t);
      const auto b = text.find_first_not_of(" \t\r\n");
      const auto e = text.find_last_not_of(" \t\r\n");
      names.push_back(b == std::string::npos ? std::string() : text.substr(b, e - b + 1));
    }
    break;
  }
  delXMLEle(root);
  return names;
}

void WheelDevice::SetNames(const std::vector<std::string>& names) {
  FreeNames();
  const int n = static_cast<int>(names.size());
  FilterNameT = new IText[names.size()]{};
  for (int i = 0; i < n; ++i) {
    const std::string element = "FILTER_SLOT_NAME_" + std::to_string(i + 1);
    const std::string label = "Filter#" + std::to_string(i + 1);
    IUFillText(&FilterNameT[i], element.c_str(), label.c_str(),
               names[static_cast<size_t>(i)].c_str());
  }
  IUFillTextVector(FilterNameTP, FilterNameT, n, getDeviceName(), kNamesProperty, "Filter",
                   FILTER_TAB, IP_RW, 0, IPS_IDLE);
}

void WheelDevice::FreeNames() {
  if (FilterNameT == nullptr) return;
  // The filter interface allocates the same way: new[] of texts filled with
  // IUFillText (malloc).
  for (int i = 0; i < FilterNameTP->ntp; ++i) std::free(FilterNameT[i].text);
  delete[] FilterNameT;
  FilterNameT = nullptr;
  FilterNameTP->ntp = 0;
}

bool WheelDevice::GetFilterNames() { return FilterNameT != nullptr; }

bool WheelDevice::SetFilterNames() { return saveConfig(true, kNamesProperty); }

bool WheelDevice::saveConfigItems(FILE* fp) {
  // Not FILTER_SLOT: loading a configuration never moves a wheel.
  INDI::DefaultDevice::saveConfigItems(fp);
  if (FilterNameT != nullptr && FilterNameTP->ntp > 0) IUSaveConfigText(fp, FilterNameTP);
  ProgramDirTP.save(fp);
  return true;
}

// --- requests -------------------------------------------------------------------

bool WheelDevice::ISNewNumber(const char* dev, const char* name, double values[], char* names[],
                              int n) {
  if (dev != nullptr && std::strcmp(dev, getDeviceName()) == 0 &&
      std::strcmp(name, FilterSlotNP.name) == 0 && n >= 1) {
    const double slot = values[0];
    const double count = FilterSlotN[0].max;
    if (!(slot >= 1 && slot <= count) || slot != std::floor(slot)) {
      FilterSlotNP.s = IPS_ALERT;
      IDSetNumber(&FilterSlotNP, nullptr);
      LOGF_ERROR("Slot %g is not a filter of wheel %c: choose 1 to %g.", slot, Letter(), count);
      return true;
    }
    if (homing_) {
      FilterSlotNP.s = IPS_ALERT;
      IDSetNumber(&FilterSlotNP, nullptr);
      LOGF_ERROR("Wheel %c is homing: choose slot %g when the homing has ended.", Letter(), slot);
      return true;
    }
  }
  return INDI::FilterWheel::ISNewNumber(dev, name, values, names, n);
}

bool WheelDevice::ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[],
                              int n) {
  if (dev != nullptr && std::strcmp(dev, getDeviceName()) == 0 && HomeSP.isNameMatch(name)) {
    HomeSP.update(states, names, n);
    if (HomeSP[0].getState() != ISS_ON) {
      HomeSP.setState(IPS_IDLE);
      HomeSP.apply();
      return true;
    }
    HomeSP.reset();
    if (homing_ || moving_) {
      HomeSP.setState(IPS_ALERT);
      HomeSP.apply();
      LOGF_ERROR("Wheel %c is busy: home it when its move has ended.", Letter());
      return true;
    }
    homing_ = true;
    HomeSP[0].setState(ISS_ON);
    HomeSP.setState(IPS_BUSY);
    HomeSP.apply();
    FilterSlotNP.s = IPS_BUSY;
    IDSetNumber(&FilterSlotNP, nullptr);
    const unsigned op = ++op_;
    Session::Get().Post(*this, [this, op] { Home(op); });
    return true;
  }
  return INDI::FilterWheel::ISNewSwitch(dev, name, states, names, n);
}

bool WheelDevice::ISNewText(const char* dev, const char* name, char* texts[], char* names[],
                            int n) {
  if (dev == nullptr || std::strcmp(dev, getDeviceName()) != 0) {
    return INDI::FilterWheel::ISNewText(dev, name, texts, names, n);
  }
  if (ProgramDirTP.isNameMatch(name)) {
    const std::string before = ProgramDirTP[0].getText() ? ProgramDirTP[0].getText() : "";
    ProgramDirTP.update(texts, names, n);
    const std::string wanted = ProgramDirTP[0].getText() ? ProgramDirTP[0].getText() : "";
    if (isConnected() && DirWithSlash(wanted) != Session::Get().Dir()) {
      ProgramDirTP[0].setText(before.c_str());
      ProgramDirTP.setState(IPS_ALERT);
      ProgramDirTP.apply();
      LOG_ERROR("The program directory is set before connecting: disconnect first.");
      return true;
    }
    ProgramDirTP.setState(IPS_OK);
    ProgramDirTP.apply();
    // The devices share one core, so a client's choice holds for every one
    // of them (each still loads its own from its configuration).
    if (!Session::Get().Started() && !isConfigLoading()) {
      for (WheelDevice* other : Devices()) {
        if (other == this) continue;
        other->ProgramDirTP[0].setText(wanted.c_str());
        other->ProgramDirTP.setState(IPS_OK);
        if (other->isInitializationComplete()) other->ProgramDirTP.apply();
      }
    }
    return true;
  }
  if (CommandTP.isNameMatch(name) && isConnected()) {
    std::string line;
    for (int i = 0; i < n; ++i) {
      if (std::strcmp(names[i], "LINE") == 0 && texts[i] != nullptr) line = texts[i];
    }
    CommandTP[0].setText(line.c_str());
    CommandTP[1].setText("");
    CommandTP.setState(IPS_BUSY);
    CommandTP.apply();
    const unsigned link = link_;
    Session::Get().Post(*this, [this, link, line] { RunLine(link, line); });
    return true;
  }
  return INDI::FilterWheel::ISNewText(dev, name, texts, names, n);
}

void WheelDevice::simulationTriggered(bool enable) {
  // As the program directory: one core, one choice (setSimulation does
  // nothing more when a device already has it).
  if (Session::Get().Started()) return;
  for (WheelDevice* other : Devices()) {
    if (other != this && other->isInitializationComplete()) other->setSimulation(enable);
  }
}

int WheelDevice::QueryFilter() { return CurFilter(wheel_); }

bool WheelDevice::SelectFilter(int slot) {
  // FILTER_SLOT goes Busy when this returns; the move runs as waiting work.
  moving_ = true;
  const unsigned op = ++op_;
  Session::Get().Post(*this, [this, op, slot] { Move(op, slot); });
  return true;
}

// --- waiting work ----------------------------------------------------------------

void WheelDevice::Move(unsigned op, int slot) {
  const auto f = static_cast<int16_t>(slot);
  // A move still running (from a command line, say) ends first; a newer
  // request that arrives meanwhile replaces this one.
  const int16_t ready = WaitForWheel(wheel_);
  if (!Current(op)) return;
  int16_t result = ready == 1 ? GoToFilterAndRecord(wheel_, f, false) : ready;
  if (!Current(op)) return;
  if (result <= 0) {
    SlotFailed("could not start its move to slot " + std::to_string(slot) + LineDetail());
    return;
  }
  result = WaitForWheel(wheel_);
  if (!Current(op)) return;
  if (result != 1) {
    SlotFailed(
        result == -2
            ? "did not reach slot " + std::to_string(slot) + " within the move time-out of " +
                  std::to_string(AppSettings().MoveTimeout) + " s"
            : "stopped answering while moving to slot " + std::to_string(slot) + LineDetail());
    return;
  }
  if (ReadBackFilter(wheel_) != 1) {
    SlotFailed("cannot be read back after its move to slot " + std::to_string(slot) + LineDetail());
    return;
  }
  if (CurFilter(wheel_) != f) {
    SlotFailed("stands at slot " + std::to_string(CurFilter(wheel_)) + " instead of slot " +
               std::to_string(slot));
    return;
  }
  moving_ = false;
  CurrentFilter = slot;
  SelectFilterDone(slot);
}

void WheelDevice::SlotFailed(const std::string& why) {
  moving_ = false;
  if (CurFilter(wheel_) > 0) FilterSlotN[0].value = CurFilter(wheel_);
  FilterSlotNP.s = IPS_ALERT;
  IDSetNumber(&FilterSlotNP, nullptr);
  LOGF_ERROR("Wheel %c %s.", Letter(), why.c_str());
}

void WheelDevice::Home(unsigned op) {
  int16_t read = 0;
  const int16_t homed = HomeAndReadBack(wheel_, read);
  if (!Current(op)) return;
  homing_ = false;
  HomeSP.reset();
  const bool ok = homed > 0 && read > 0;
  HomeSP.setState(ok ? IPS_OK : IPS_ALERT);
  HomeSP.apply();
  if (CurFilter(wheel_) > 0) FilterSlotN[0].value = CurFilter(wheel_);
  FilterSlotNP.s = ok ? IPS_OK : IPS_ALERT;
  IDSetNumber(&FilterSlotNP, nullptr);
  if (ok) {
    LOGF_INFO("Wheel %c is homed: slot %d.", Letter(), CurFilter(wheel_));
  } else {
    LOGF_ERROR("Wheel %c %s%s.", Letter(),
               homed > 0 ? "was homed but its slot cannot be read" : "could not be homed",
               LineDetail().c_str());
  }
}

void WheelDevice::RunLine(unsigned link, const std::string& line) {
  std::vector<std::string> replies;
  const std::string joined = ExecCmdLine(line, &replies);
  if (!isConnected() || link != link_) return;
  bool failed = false;
  for (const std::string& r : replies) failed = failed || ReplyCountsAsFailed(r);
  CommandTP[1].setText(joined.c_str());
  CommandTP.setState(failed ? IPS_ALERT : IPS_OK);
  CommandTP.apply();
}

void WheelDevice::StateMayHaveChanged() {
  // A command line or the other device may have moved this wheel.
  if (!isConnected() || moving_ || homing_) return;
  const int16_t k = CurFilter(wheel_);
  if (k <= 0 || (k == CurrentFilter && FilterSlotN[0].value == k)) return;
  CurrentFilter = k;
  FilterSlotN[0].value = k;
  FilterSlotNP.s = IPS_OK;
  IDSetNumber(&FilterSlotNP, nullptr);
}

}  // namespace nvx::indi
