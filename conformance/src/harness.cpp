// The harness in plain Win32 calls, with the few pieces that differ by side
// (the clock's tolerance, finding this program's file) kept together at the
// top; the window thread and the rest both suites share are in
// zt/testhost/portable.h.
#include "conformance/harness.h"

#include <cstdio>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace conformance {

// ----- what differs by side ------------------------------------------------------

#if defined(_WIN32)

// Waits on a real clock may run late on a busy machine; GetTickCount moves in
// steps of up to 16 ms.
constexpr DWORD kEarly = 16;
constexpr DWORD kLate = 400;

namespace {
std::string self_path() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return narrow(WString(path, length).c_str());
}
std::FILE* open_pipe(const std::string& command) {
    // cmd.exe strips the outer quotes of a command that begins with one.
    std::string quoted(1, '"');
    quoted.append(command).push_back('"');
    return _popen(quoted.c_str(), "r");
}
int close_pipe(std::FILE* pipe) {
    return _pclose(pipe);
}
} // namespace

#else

// The test host's virtual clock: a wait lasts exactly its limit.
constexpr DWORD kEarly = 0;
constexpr DWORD kLate = 0;

namespace {
std::string self_path() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}
std::FILE* open_pipe(const std::string& command) {
    return popen(command.c_str(), "r");
}
int close_pipe(std::FILE* pipe) {
    return pclose(pipe);
}
} // namespace

#endif

// ----- time --------------------------------------------------------------------------

::testing::AssertionResult elapsed_is(DWORD since, DWORD expected) {
    return duration_is(GetTickCount() - since, expected);
}

::testing::AssertionResult duration_is(DWORD elapsed, DWORD expected) {
    if (elapsed + kEarly >= expected && elapsed <= expected + kLate)
        return ::testing::AssertionSuccess() << elapsed << " ms";
    return ::testing::AssertionFailure() << elapsed << " ms passed, expected " << expected << " (-" << kEarly << "/+"
                                         << kLate << ")";
}

::testing::AssertionResult elapsed_at_least(DWORD since, DWORD least) {
    const DWORD elapsed = GetTickCount() - since;
    if (elapsed + kEarly >= least && (kLate != 0 || elapsed == least))
        return ::testing::AssertionSuccess() << elapsed << " ms";
    return ::testing::AssertionFailure() << elapsed << " ms passed, expected at least " << least;
}

// ----- a second process ---------------------------------------------------------------------

std::vector<UINT> register_in_other_process(const std::vector<WString>& names) {
    std::string command(1, '"');
    command.append(self_path()).append("\" --register");
    for (const auto& name : names)
        command.append(" ").append(narrow(name.c_str()));
    std::vector<UINT> numbers;
    std::FILE* pipe = open_pipe(command);
    if (pipe == nullptr)
        return numbers;
    unsigned number = 0;
    while (std::fscanf(pipe, "%u", &number) == 1)
        numbers.push_back(number);
    if (close_pipe(pipe) != 0)
        numbers.clear();
    return numbers;
}

int register_and_print(int argc, char** argv) {
    for (int i = 2; i < argc; ++i) {
        WString name;
        for (const char* c = argv[i]; *c; ++c)
            name.push_back(static_cast<WCHAR>(static_cast<unsigned char>(*c)));
        std::printf("%u\n", RegisterWindowMessageW(name.c_str()));
    }
    return 0;
}

WString unique_name(const char* stem) {
#if defined(_WIN32)
    const unsigned long pid = GetCurrentProcessId();
#else
    const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    WString name;
    for (const char c : std::string(stem) + "-" + std::to_string(pid))
        name.push_back(static_cast<WCHAR>(c));
    return name;
}

} // namespace conformance
