// On Windows the platform is Win32 itself: the shell library and the
// conformance tests include this in place of the stand-in's header.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
