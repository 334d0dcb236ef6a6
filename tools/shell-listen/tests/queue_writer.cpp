// Writes a fixed set of records through the shell library, as another
// program would, for the whole-process test of zentrick-shell-listen. Prints
// the two event handles it used ("0x.. 0x..") on standard output.
// With --remove it removes the three queues instead; with --plant UID it
// makes the three queues of user UID as this user, open to all, as a hostile
// user would.
#include "shell/queues.h"

#include "zt/host.h"
#include "zt/sys/msgqueue.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mqueue.h>
#include <sys/stat.h>

namespace {
// Another program's platform: real clock, no shell windows.
class WriterHost final : public zt::host::Host {
  public:
    zt::host::ClockKind clock_kind() const override { return zt::host::ClockKind::Real; }
};
} // namespace

int main(int argc, char** argv) {
    // Never destroyed: the platform may call its host until the very end.
    static WriterHost* const host = new WriterHost();
    zt::host::install(*host);
    if (argc == 2 && std::strcmp(argv[1], "--remove") == 0) {
        for (LPCWSTR name : {SHELL_NOTIFY_QUEUE_NAME, APPS_ASK_QUEUE_NAME, USER_NOTIFICATION_QUEUE_NAME})
            zt::sys::remove_msgqueue(name);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--plant") == 0) {
        const auto uid = static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10));
        const char* prefix = std::getenv(zt::sys::kMsgQueuePrefixVariable);
        umask(0);
        for (LPCWSTR name : {SHELL_NOTIFY_QUEUE_NAME, APPS_ASK_QUEUE_NAME, USER_NOTIFICATION_QUEUE_NAME}) {
            const auto posixName = zt::sys::msgqueue_posix_name(name, prefix != nullptr ? prefix : "", uid);
            mq_attr attr{};
            attr.mq_maxmsg = 4;
            attr.mq_msgsize = 8192;
            const mqd_t d = posixName ? mq_open(posixName->c_str(), O_RDWR | O_CREAT, 0666, &attr) : mqd_t(-1);
            if (d == static_cast<mqd_t>(-1))
                return 1;
            mq_close(d);
        }
        return 0;
    }
    static BYTE payload[USER_NOTIFICATION_PAYLOAD_SIZE];
    for (std::size_t i = 0; i < sizeof payload; ++i)
        payload[i] = static_cast<BYTE>(i * 13 + 5);
    const BYTE block[16] = {0x11, 0x12, 0x13, 0x14, 0x21, 0x22, 0x23, 0x24,
                            0x31, 0x32, 0x33, 0x34, 0xF1, 0xF2, 0xF3, 0xF4};

    bool ok = ShellNotifyKind1(7, 9) == 1;
    ok = ShellNotifyKind2(7, 9) == 1 && ok;
    ok = WriteShellNotify(0, 9, 5) != 0 && ok;
    ok = AppsAskCmd5() == 1 && ok;
    ok = AppsAskCmd3(4, 0) == 1 && ok;
    ok = AppsAskCmd12Values(u"ab", 5, 6) == 1 && ok;
    ok = AppsAskCmd12Texts(u"h\u00e9llo \"q\"", u"w\u00f6rld", block) == 1 && ok;
    HANDLE made = SendUserNotification(nullptr, payload);
    HANDLE given = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ok = made != nullptr && SendUserNotification(given, payload) == given && ok;
    ok = CloseUserNotification(given) != 0 && ok;
    std::printf("0x%x 0x%x\n", static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(made)),
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(given)));
    return ok ? 0 : 1;
}
