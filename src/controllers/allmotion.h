// AllMotionCntrl: the AllMotion EZHR17 drive driver. Each operation builds one
// command string, sends it as "/" + address character + command with carriage
// return framing, checks the reply's "/0" and the drive's status character and
// extracts values from the reply. Called through the MotCon dispatch.
#pragma once

#include <cstdint>
#include <string>

namespace nvx::AllMotionCntrl {

// The mode word sent whole with "n"; shared by every drive on the line,
// changed only by MotorSetModeBit1 and MotorSetModeSel. 0 at start.
extern int32_t ModeWord;

// One addressed exchange. Results: 1 drive status without error; -1 exchange
// failed; -2 the drive reported an error code; -3 the reply carries no "/0"
// at characters 2 and 3, or ends before its status character; -4 refused
// because another request of this driver is still inside its exchange
// ("inst>0;"); kMotorArgOutOfRange when MotorAddress is not a character code.
// The response (reply from the status character on) is handed back after 1
// and -2 only.
int16_t EZHR17_Request(const std::string& command, std::string& response);

// Requests of this driver now inside their exchange (0 when idle).
int16_t InProgressCount();

int16_t MotorCommand(const std::string& request, std::string& reply);
int16_t MotorMoveRel(double steps);
int16_t MotorGetPos(double& pos);
int16_t MotorSetCurrents(int16_t hold, int16_t run);
int16_t MotorSetAccel(int32_t accel, int32_t decel);
int16_t MotorSetAuxFlag(int16_t value);
int16_t MotorSetSlewVel(int64_t vel);
int16_t MotorSetResolution(int16_t exponent);
int16_t MotorSetPos(int32_t& pos);
int16_t MotorSetModeBit1(int16_t value);
int16_t MotorSetModeSel(int16_t selector);
int16_t MotorSetFilterSteps(int16_t steps);
int16_t MotorSetInitVel(int32_t vel);
int16_t MotorSetAuxPair(int32_t a, int32_t b);
int16_t MotorSettle(int16_t ms);
int16_t MotorWaitStop();
int16_t MotorHome(int32_t homeSpeed, int32_t initVel);
int16_t MotorProbe();

// True when the drive answers "Q" with the ready bit (32) of its status set;
// a failed query counts as busy.
bool IsReady();

// Sets the top speed to |speed| and starts homing; does not wait.
int16_t EZHR17_MotorHome(int32_t speed);
// Saves the top speed, homes at |speed|, waits for the end, restores the top
// speed. The second value is not used.
int16_t EZHR17_MotorHomeSmart(int32_t speed, int32_t unused = 0);
// Runs the drive's limit-search program and waits for its end: 1, or -2 when
// it did not end within MotorMoveTimeout.
int16_t EZHR17_SeekLimit();

}  // namespace nvx::AllMotionCntrl
