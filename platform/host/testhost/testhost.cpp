#include "zt/testhost.h"

#include "zt/host.h"
#include "zt/sys/trace.h"

namespace zt::testhost {

namespace {

std::mutex g_lock;
std::unique_ptr<std::string> g_capture;
std::function<int(int)> g_escape;
std::vector<PresentedFrame> g_frames;

class TestHost final : public host::Host {
  public:
    host::ClockKind clock_kind() const override { return host::ClockKind::Virtual; }
    void debug_output(std::string_view utf8) override {
        {
            std::lock_guard guard(g_lock);
            if (g_capture) {
                g_capture->append(utf8);
                return;
            }
        }
        Host::debug_output(utf8);
    }
    int display_escape(int code, int, const char*, int, char*) override {
        std::function<int(int)> handler;
        {
            std::lock_guard guard(g_lock);
            handler = g_escape;
        }
        return handler ? handler(code) : 0;
    }
    void present(HWND window, const gfx::Surface& frame) override;
};

} // namespace
} // namespace zt::testhost

// Surface is only known to the drawing code; frames are recorded by size.
#if __has_include("zt/gfx/surface.h")
#include "zt/gfx/surface.h"
void zt::testhost::TestHost::present(HWND window, const gfx::Surface& frame) {
    std::lock_guard guard(g_lock);
    g_frames.push_back({window, frame.width(), frame.height()});
}
#else
void zt::testhost::TestHost::present(HWND window, const gfx::Surface&) {
    std::lock_guard guard(g_lock);
    g_frames.push_back({window, 0, 0});
}
#endif

namespace zt::testhost {

void install() {
    // Never destroyed: the platform may call its host until the very end.
    static TestHost* const host = new TestHost();
    static const bool installed = (host::install(*host), true);
    (void)installed;
}

DebugCapture::DebugCapture() {
    std::lock_guard guard(g_lock);
    g_capture = std::make_unique<std::string>();
}

DebugCapture::~DebugCapture() {
    std::lock_guard guard(g_lock);
    g_capture.reset();
}

std::string DebugCapture::text() const {
    std::lock_guard guard(g_lock);
    return g_capture ? *g_capture : std::string();
}

void DebugCapture::clear() {
    std::lock_guard guard(g_lock);
    if (g_capture)
        g_capture->clear();
}

TraceCapture::TraceCapture(unsigned channels) {
    trace::set_sink([this](std::string_view line) {
        std::lock_guard guard(m_lock);
        m_lines.emplace_back(line);
    });
    trace::enable(channels);
}

TraceCapture::~TraceCapture() {
    trace::enable(0);
    trace::set_sink(nullptr);
}

std::vector<std::string> TraceCapture::lines() const {
    std::lock_guard guard(m_lock);
    return m_lines;
}

std::vector<std::string> TraceCapture::starting(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& line : lines())
        if (line.rfind(prefix, 0) == 0)
            out.push_back(line);
    return out;
}

void set_register_message_hook(std::function<bool(LPCWSTR name)> hook) {
    host::set_register_message_hook(std::move(hook));
}

void set_display_escape(std::function<int(int)> handler) {
    std::lock_guard guard(g_lock);
    g_escape = std::move(handler);
}

std::vector<PresentedFrame> presented_frames() {
    std::lock_guard guard(g_lock);
    return g_frames;
}

// ----- OwnWindow --------------------------------------------------------------

namespace {

LRESULT default_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

OwnWindow::OwnWindow(const Shape& shape) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = shape.proc != nullptr ? shape.proc : default_proc;
    wc.lpszClassName = shape.className;
    RegisterClassW(&wc); // fails harmlessly when it exists
    m_hwnd = CreateWindowExW(0, shape.className, u"own", shape.style, 0, 0, shape.width, shape.height, nullptr, nullptr,
                             nullptr, nullptr);
}

OwnWindow::~OwnWindow() {
    if (IsWindow(m_hwnd))
        DestroyWindow(m_hwnd);
}

} // namespace zt::testhost
