// What the message-name tests share: a directory of the test's own for the
// table file, and children made with fork whose numbers come back through
// pipes.
#pragma once

#include "zt/sys/message_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zt::sys::testing {

class MessageNames : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/zt-names-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_path = m_dir + "/table";
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    static UINT add(MessageNameTable& table, std::u16string_view name) {
        DWORD error = 0;
        const UINT number = table.find_or_add(name, error);
        EXPECT_NE(number, 0u) << "error " << error;
        return number;
    }
    // Runs `body(i)` in `count` children at once: they start together once
    // all are made. Each child's numbers come back through a pipe, in the
    // children's order.
    static std::vector<std::vector<UINT>> in_children(int count, const std::function<std::vector<UINT>(int)>& body) {
        int gate[2];
        if (pipe(gate) != 0)
            return {};
        std::vector<pid_t> children;
        std::vector<int> readers;
        for (int i = 0; i < count; ++i) {
            int fds[2];
            if (pipe(fds) != 0)
                break;
            const pid_t child = fork();
            if (child == 0) {
                close(fds[0]);
                close(gate[1]);
                char ignored = 0;
                while (read(gate[0], &ignored, 1) < 0) {
                }
                const auto numbers = body(i);
                const auto size = static_cast<ssize_t>(numbers.size() * sizeof(UINT));
                _exit(write(fds[1], numbers.data(), static_cast<std::size_t>(size)) == size ? 0 : 1);
            }
            close(fds[1]);
            children.push_back(child);
            readers.push_back(fds[0]);
        }
        close(gate[0]);
        close(gate[1]); // the children's reads end: off they go
        std::vector<std::vector<UINT>> results;
        for (std::size_t i = 0; i < children.size(); ++i) {
            std::vector<UINT> numbers;
            UINT number = 0;
            while (read(readers[i], &number, sizeof number) == static_cast<ssize_t>(sizeof number))
                numbers.push_back(number);
            close(readers[i]);
            int status = 0;
            waitpid(children[i], &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child " << i;
            results.push_back(std::move(numbers));
        }
        return results;
    }
    static std::vector<UINT> in_child(const std::function<std::vector<UINT>()>& body) {
        auto results = in_children(1, [&](int) { return body(); });
        return results.empty() ? std::vector<UINT>() : results[0];
    }
    std::string m_dir;
    std::string m_path;
};

inline std::u16string name_of(int i) {
    std::u16string name = u"ZtName";
    for (char c : std::to_string(i))
        name.push_back(static_cast<char16_t>(c));
    return name;
}

} // namespace zt::sys::testing
