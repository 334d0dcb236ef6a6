// The "ACC0:" accelerometer's name and control codes: the one definition
// shared by the drivers that answer them, the hosts that register them and
// the client that sends them.
//
// Device type FILE_DEVICE_CONTROLLER, buffered, any access:
//   function 0, 1, 2  read X, Y, Z      output >= 1 byte
//   function 3        read X, Y, Z      output >= 3 bytes, in that order
//   function 6, 7     succeed and do nothing (no buffers needed)
//   function 8        announce a message id: input >= 4 bytes, little-endian
// Readings are signed bytes, 64 counts = 1 g.
#pragma once

#include "zt/platform.h"

// The stream device's name, as a driver registers it and CreateFileW opens it.
inline constexpr WCHAR ACC_DEVICE_NAME[] = TEXT("ACC0:");

constexpr DWORD IOCTL_ACC_GET_X = CTL_CODE(FILE_DEVICE_CONTROLLER, 0, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr DWORD IOCTL_ACC_GET_Y = CTL_CODE(FILE_DEVICE_CONTROLLER, 1, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr DWORD IOCTL_ACC_GET_Z = CTL_CODE(FILE_DEVICE_CONTROLLER, 2, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr DWORD IOCTL_ACC_GET_XYZ = CTL_CODE(FILE_DEVICE_CONTROLLER, 3, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr DWORD IOCTL_ACC_CONTROL_6 = CTL_CODE(FILE_DEVICE_CONTROLLER, 6, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr DWORD IOCTL_ACC_CONTROL_7 = CTL_CODE(FILE_DEVICE_CONTROLLER, 7, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr DWORD IOCTL_ACC_SET_MESSAGE = CTL_CODE(FILE_DEVICE_CONTROLLER, 8, METHOD_BUFFERED, FILE_ANY_ACCESS);
