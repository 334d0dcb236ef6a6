// What the conformance tests share. Every test is written against the Win32
// functions the application and its libraries use, so the same source builds
// against the stand-in (zt/platform.h) and, with MinGW-w64, against the real
// windows.h (a shim of the same name includes it), and runs under Wine.
#pragma once

#include "zt/platform.h"
#include "zt/testhost/portable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace conformance {

// Wide text as the platform spells it: char16_t here, wchar_t on Windows.
using WString = std::basic_string<WCHAR>;

#if defined(_WIN32)
constexpr bool kOnWin32 = true;
#else
constexpr bool kOnWin32 = false;
#endif

// Marks a test that pins a behaviour Win32 does not share: a choice of the
// stand-in, or what the phone's system does differently from desktop Win32.
// It runs on the stand-in and is skipped on Win32 with the reason printed, so
// a skip is never mistaken for a pass. docs/architecture.md lists them all.
#if defined(_WIN32)
#define ZT_WIN32_DIFFERENCE(reason) GTEST_SKIP() << "differs from Win32: " << (reason)
#else
#define ZT_WIN32_DIFFERENCE(reason) ::testing::Test::RecordProperty("win32_difference", (reason))
#endif

// The stand-in's unit-test host runs a virtual clock, on which a wait lasts
// exactly its limit; on Win32 the clock is real, so an elapsed time may run
// late (a loaded machine) or a tick early (the clock's granularity).
::testing::AssertionResult elapsed_is(DWORD since, DWORD expected);
// The same for a time already measured.
::testing::AssertionResult duration_is(DWORD measured, DWORD expected);
// At least `least` ms have passed (exactly that many on the virtual clock).
::testing::AssertionResult elapsed_at_least(DWORD since, DWORD least);

// The window thread, threads and registry clean-up both sides' tests share.
using zt::testhost::delete_key_tree;
using zt::testhost::narrow;
using zt::testhost::Thread;
using zt::testhost::WindowThread;

// Runs this test program again in a second process, registering `names` in
// order there with RegisterWindowMessageW; its numbers, in the same order
// (empty when the process could not be run).
std::vector<UINT> register_in_other_process(const std::vector<WString>& names);
// The second process's side: what main() runs for "--register NAME...".
int register_and_print(int argc, char** argv);

// `stem` followed by this process's id: a name no parallel run shares.
WString unique_name(const char* stem);

} // namespace conformance
