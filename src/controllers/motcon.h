// The one set of motor operations the rest of the program uses. Each call
// goes to the IM483I driver or the EZHR17 driver by the configured controller
// type (AppSettings().Controller); with no recognised type each operation sends
// nothing and answers 0.
#pragma once

#include <cstdint>
#include <string>

namespace nvx {

// Status of an operation whose argument cannot be sent to the controller: an
// IM483I value outside -32768..32767, a step count that is not finite or does
// not fit 32 bits, an EZHR17 resolution exponent outside 0..30, an address
// code outside 0..255. Nothing is sent when an operation answers it.
inline constexpr int16_t kMotorArgOutOfRange = -9;

// Address character of the controller the next request goes to.
void MotorSelect(int16_t address);
int16_t MotorAddress();
void MotorSetMoveTimeout(int16_t seconds);
int16_t MotorMoveTimeout();
// Sets the link's framing for the configured controller type.
void MotorSetLineEnds();

// Lets pending window events run between two controller exchanges and then
// puts MotorAddress back as it was, so that a nested operation on another
// controller never redirects the waiting operation's later requests.
void MotorProcessEvents();

int16_t MotorCommand(const std::string& request, std::string& reply);
int16_t MotorHome(int32_t homeSpeed, int32_t initVel);
int16_t MotorMoveRel(double steps);
int16_t MotorGetPos(double& pos);
int16_t MotorSettle(int16_t ms);
int16_t MotorSetCurrents(int16_t hold, int16_t run);
int16_t MotorSetAccel(int32_t accel, int32_t decel);
int16_t MotorSetAuxFlag(int16_t value);
int16_t MotorSetAuxPair(int32_t a, int32_t b);
int16_t MotorSetSlewVel(int32_t vel);
int16_t MotorSetResolution(int16_t exponent);
int16_t MotorSetInitVel(int32_t vel);
int16_t MotorSetPos(int32_t& pos);
int16_t MotorWaitStop();
int16_t MotorSetModeBit1(int16_t value);
int16_t MotorSetModeSel(int16_t selector);
int16_t MotorSetFilterSteps(int16_t steps);
int16_t MotorProbe();

}  // namespace nvx
