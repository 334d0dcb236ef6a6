#include "zt/testhost.h"

#include "zt/gfx/surface.h"
#include "zt/host.h"
#include "zt/sys/trace.h"

namespace zt::testhost {

namespace {

// What the tests set and read while the platform calls the host from any
// thread.
struct Recorded {
    std::unique_ptr<std::string> capture;
    std::function<int(int)> escape;
    std::vector<PresentedFrame> frames;
};

// Never destroyed: the platform may call its host until the very end.
sys::Guarded<Recorded>& recorded() {
    static auto* const state = new sys::Guarded<Recorded>();
    return *state;
}

class TestHost final : public host::Host {
  public:
    host::ClockKind clock_kind() const override { return host::ClockKind::Virtual; }
    void debug_output(std::string_view utf8) override {
        const bool captured = recorded().with([&](Recorded& r) {
            if (r.capture)
                r.capture->append(utf8);
            return r.capture != nullptr;
        });
        if (!captured)
            Host::debug_output(utf8);
    }
    int display_escape(int code, int, const char*, int, char*) override {
        const std::function<int(int)> handler = recorded().lock()->escape;
        return handler ? handler(code) : 0;
    }
    void present(HWND window, const gfx::Surface& frame) override {
        recorded().lock()->frames.push_back({window, frame.width(), frame.height()});
    }
};

} // namespace

void install() {
    // Never destroyed: the platform may call its host until the very end.
    static TestHost* const host = new TestHost();
    static const bool installed = (host::install(*host), true);
    (void)installed;
}

DebugCapture::DebugCapture() {
    recorded().lock()->capture = std::make_unique<std::string>();
}

DebugCapture::~DebugCapture() {
    recorded().lock()->capture.reset();
}

std::string DebugCapture::text() const {
    auto r = recorded().lock();
    return r->capture ? *r->capture : std::string();
}

void DebugCapture::clear() {
    auto r = recorded().lock();
    if (r->capture)
        r->capture->clear();
}

TraceCapture::TraceCapture(unsigned channels) {
    trace::set_sink([this](std::string_view line) { m_lines.lock()->emplace_back(line); });
    trace::enable(channels);
}

TraceCapture::~TraceCapture() {
    trace::enable(0);
    trace::set_sink(nullptr);
}

std::vector<std::string> TraceCapture::lines() const {
    return *m_lines.lock();
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
    recorded().lock()->escape = std::move(handler);
}

std::vector<PresentedFrame> presented_frames() {
    return recorded().lock()->frames;
}

std::optional<ResourceBytes> load_resource(UINT id, UINT type, HMODULE module) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
    if (found == nullptr)
        return std::nullopt;
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr)
        return std::nullopt;
    const auto* data = static_cast<const unsigned char*>(LockResource(loaded));
    if (data == nullptr)
        return std::nullopt;
    return ResourceBytes{data, SizeofResource(module, found)};
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
