// The accelerometer client: the one connection to the "ACC0:" stream driver.
//
// Open with AccOpen (reference counted), read one axis or all three as raw
// signed bytes, close with one AccClose per successful AccOpen. Results are
// the platform's: nonzero for success, 0 for failure, except where noted.
#pragma once

#include "zt/acc_protocol.h" // IOCTL_ACC_*: the codes the driver answers
#include "zt/platform.h"

// The open device; INVALID_HANDLE_VALUE whenever it is closed.
extern HANDLE g_hAccDevice;
// Successful AccOpen calls not yet undone by AccClose.
extern INT g_nAccOpenCount;
// The id of the window message "AccMessage"; 0 when not registered.
extern UINT g_uAccMessageId;

// 1 when the device is open after the call (newly or already), 0 when it
// cannot be opened (printing the error code).
int AccOpen();
// Drops one reference; the last one closes the device.
void AccClose();

// Reads one axis into *p. The device call's nonzero result on success; 0 when
// the call fails (the value becomes 0), when the device is not open (the
// value is left as it was) or when p is null.
int AccGetX(signed char* pX);
int AccGetY(signed char* pY);
int AccGetZ(signed char* pZ);
// Reads all three axes in one device call; as AccGetX.
int AccGetXYZ(signed char* pX, signed char* pY, signed char* pZ);

// The device call's result, or -1062 when the device is not open.
int AccControl6();
int AccControl7();

// The registered message id while the device is open; 0 with the last error
// ERROR_SERVICE_NOT_ACTIVE when it is not.
UINT AccGetMessageId();
