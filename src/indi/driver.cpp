// indi_norvantix_wheel: the INDI driver of the two filter wheels. indiserver
// starts it; libindidriver's main runs the event loop and hands every client
// request to the devices below.
#include "indi/wheel_device.h"

namespace {

nvx::indi::WheelDevice g_wheelF(1);
nvx::indi::WheelDevice g_wheelB(2);

}  // namespace
