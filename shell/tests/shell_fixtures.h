// The fixtures of the shell commands' tests, in plain Win32 calls: the
// library's own tests (test_shell_commands) and the conformance suite, which
// runs them against real Win32 too, share them.
#pragma once

#include "shell/commands.h"
#include "zt/testhost/portable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace shelltest {

using zt::testhost::WindowThread;

// The shell's message number `n` (0xFFF00001 and up).
constexpr UINT shell_message(UINT n) {
    return 0xFFF00000u + n;
}

// A message as a window received it.
struct Delivery {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Delivery&) const = default;
};

// The shell's windows on their own thread. Each answers its own reply (or
// runs its own handler).
class ShellCommands : public ::testing::Test {
  protected:
    HWND add(const WCHAR* className, LRESULT reply = 1, bool visible = false) {
        return add_handled(className, visible, [reply](HWND, UINT, WPARAM, LPARAM) { return reply; });
    }
    HWND add_handled(const WCHAR* className, bool visible, WindowThread::Handler handler) {
        if (!m_shell)
            m_shell = std::make_unique<WindowThread>();
        HWND hwnd = m_shell->create(className, visible, std::move(handler));
        EXPECT_NE(hwnd, nullptr);
        m_names[hwnd] = zt::testhost::narrow(className);
        mark();
        return hwnd;
    }
    // Ends the shell thread; its windows go with it.
    void close_shell() {
        m_shell.reset();
        m_mark = 0;
    }
    // From here on received() starts afresh (adding a window does so too).
    void mark() { m_mark = m_shell ? m_shell->received(WM_USER).size() : 0; }

    // What the windows received from WM_USER up since the mark.
    std::vector<WindowThread::Received> received() const {
        if (!m_shell)
            return {};
        const auto all = m_shell->received(WM_USER);
        return {all.begin() + static_cast<std::ptrdiff_t>(m_mark), all.end()};
    }

    // Compares what the windows received since the mark with the expected
    // table, naming the first difference and showing both sequences.
    void expect_deliveries(const std::vector<Delivery>& expected, const std::string& action) const {
        std::vector<Delivery> got;
        for (const auto& r : received())
            got.push_back({r.hwnd, r.message, r.wParam, r.lParam});
        if (got == expected)
            return;
        std::size_t first = 0;
        while (first < got.size() && first < expected.size() && got[first] == expected[first])
            ++first;
        std::ostringstream text;
        text << action << ": first difference at index " << first << "\n  expected:";
        for (const auto& d : expected)
            text << "\n    " << describe(d);
        text << "\n  received:";
        for (const auto& d : got)
            text << "\n    " << describe(d);
        ADD_FAILURE() << text.str();
    }

  private:
    std::string describe(const Delivery& d) const {
        auto it = m_names.find(d.hwnd);
        char text[96];
        std::snprintf(text, sizeof text, "%s 0x%x(0x%llx, 0x%llx)", it == m_names.end() ? "?" : it->second.c_str(),
                      d.message, static_cast<unsigned long long>(d.wParam), static_cast<unsigned long long>(d.lParam));
        return text;
    }

    std::unique_ptr<WindowThread> m_shell;
    std::map<HWND, std::string> m_names;
    std::size_t m_mark = 0;
};

// The lock state's key, removed before and after each test.
inline const WCHAR* const kLockKey = TEXT("System\\State\\ZaruVuvIvozi");

class LockState : public ::testing::Test {
  protected:
    void SetUp() override { zt::testhost::delete_key_tree(HKEY_LOCAL_MACHINE, kLockKey); }
    void TearDown() override { zt::testhost::delete_key_tree(HKEY_LOCAL_MACHINE, kLockKey); }
    static void seed(const WCHAR* path, const WCHAR* name, DWORD type, std::vector<BYTE> bytes) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())), ERROR_SUCCESS);
        RegCloseKey(key);
    }
};

} // namespace shelltest
