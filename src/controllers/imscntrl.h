// IMSCNTRL: the IMS IM483I indexer driver. Each operation builds one request
// text, puts the address character (MotorAddress) in front, sends it with
// line-feed framing and checks that the reply starts with the controller's
// echo of the request. Called through the MotCon dispatch.
#pragma once

#include <cstdint>
#include <string>

namespace nvx::IMSCNTRL {

// One addressed exchange. Results: 1 echo matched; -1 exchange failed;
// -2 echo mismatch; -3 reply shorter than the request; -4 refused because
// another request of this driver is still inside its exchange ("inst>0;");
// kMotorArgOutOfRange when MotorAddress is not a character code (0..255).
// The response (reply without the echo) is handed back after 1 and -2 only.
int16_t IM483I_Request(const std::string& command, std::string& response);

// Requests of this driver now inside their exchange (0 when idle).
int16_t InProgressCount();

int16_t MotorCommand(const std::string& request, std::string& reply);
int16_t MotorHome(int16_t homeSpeed, int16_t initVel);
int16_t MotorMoveRel(double steps);
int16_t MotorGetPos(double& pos);
int16_t MotorSettle(int16_t ms);
int16_t MotorSetCurrents(int16_t hold, int16_t run);
int16_t MotorSetAccel(int16_t accel, int16_t decel);
int16_t MotorSetAuxFlag(int16_t value);
int16_t MotorSetAuxPair(int16_t a, int16_t b);
int16_t MotorSetSlewVel(int16_t vel);
int16_t MotorSetResolution(int16_t exponent);
int16_t MotorSetInitVel(int16_t vel);
int16_t MotorSetPos();
int16_t MotorWaitStop();
int16_t MotorProbe();

// Moving status ("^"): 0 when the motor stands, -1 when unreadable.
int16_t MovingStatus();
// Input status ("] 1"): bit 0 is the home switch; -1 when unreadable.
int16_t InputStatus();
// Constant-velocity move ("M" + velocity); velocity 0 stops it.
int16_t ConstVelMove(int32_t vel);

}  // namespace nvx::IMSCNTRL
