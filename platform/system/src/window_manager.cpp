// The window manager's state and the operations on windows that the Win32
// calls and the hosts use.
#include "window_manager.h"

#include "message_queue.h"
#include "timers.h"
#include "zt/gfx/rect.h"

#include <algorithm>

namespace zt::sys {

namespace {

std::uint32_t key_of(HWND hwnd) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hwnd));
}

// Holds a window's number in the handle table, so that no other object gets
// it while the window lives and the kernel's and GDI's calls refuse it.
class WindowNumber final : public KernelObject {
  public:
    const char* type_name() const override { return "window"; }
    bool closable() const override { return false; }
};

} // namespace

WindowManager& WindowManager::get() {
    // Never destroyed, like the kernel: static objects of the application
    // use windows until the very end of the process.
    static WindowManager* const instance = new WindowManager();
    return *instance;
}

// ----- classes ----------------------------------------------------------------

ATOM WindowManager::register_class(const Locked& locked, std::u16string_view name, WNDPROC proc, HINSTANCE instance) {
    if (find_class(locked, name))
        return 0;
    m_classes.push_back({std::u16string(name), proc, instance});
    return static_cast<ATOM>(0xC000 + m_classes.size());
}

DWORD WindowManager::unregister_class(const Locked&, std::u16string_view name) {
    auto it = std::find_if(m_classes.begin(), m_classes.end(),
                           [&](const WindowClass& c) { return equal_ignore_case(c.name, name); });
    if (it == m_classes.end())
        return ERROR_CLASS_DOES_NOT_EXIST;
    // As on Win32, a class stays while windows of it exist.
    constexpr DWORD kErrorClassHasWindows = 1412;
    for (const auto& entry : m_windows)
        if (equal_ignore_case(entry.second->className, it->name))
            return kErrorClassHasWindows;
    m_classes.erase(it);
    return ERROR_SUCCESS;
}

const WindowClass* WindowManager::find_class(const Locked&, std::u16string_view name) const {
    for (auto& c : m_classes)
        if (equal_ignore_case(c.name, name))
            return &c;
    return nullptr;
}

// ----- windows ----------------------------------------------------------------

std::shared_ptr<Window> WindowManager::create(const Locked& locked, const WindowClass& windowClass,
                                              const WindowParams& params, DWORD threadId) {
    HANDLE number = Kernel::get().handles().insert(std::make_shared<WindowNumber>());
    if (number == nullptr)
        return nullptr;
    auto window = std::make_shared<Window>();
    window->hwnd = static_cast<HWND>(number);
    window->className = windowClass.name;
    window->title = std::u16string(params.title);
    window->proc = windowClass.proc;
    window->instance = params.instance;
    window->threadId = threadId;
    window->parent = params.parent;
    window->style = params.style;
    window->exStyle = params.exStyle;
    window->state(locked).rect = params.rect;
    m_ages.emplace(key_of(window->hwnd), m_nextAge);
    m_windows.emplace(m_nextAge++, window);
    return window;
}

std::shared_ptr<Window> WindowManager::find(const Locked&, HWND hwnd) const {
    auto it = m_ages.find(key_of(hwnd));
    return it == m_ages.end() ? nullptr : m_windows.at(it->second);
}

void WindowManager::remove(const Locked& locked, HWND hwnd) {
    if (auto it = m_ages.find(key_of(hwnd)); it != m_ages.end()) {
        Window::State& s = m_windows.at(it->second)->state(locked);
        set_paint_state(s, false, s.visible);
        m_windows.erase(it->second);
        m_ages.erase(it);
        Kernel::get().handles().remove(hwnd);
    }
    Timers::get().remove_window(locked, hwnd);
    Kernel::get().notify_all(locked);
}

std::vector<HWND> WindowManager::windows_of(const Locked&, DWORD threadId) const {
    std::vector<HWND> out;
    for (auto& [key, w] : m_windows)
        if (w->threadId == threadId)
            out.push_back(w->hwnd);
    return out;
}

HWND WindowManager::find_top_level(const Locked&, const std::u16string_view* className,
                                   const std::u16string_view* title) const {
    for (auto& [key, w] : m_windows) {
        if (w->parent != nullptr)
            continue;
        if (className && !equal_ignore_case(w->className, *className))
            continue;
        if (title && w->title != *title)
            continue;
        return w->hwnd;
    }
    return nullptr;
}

std::vector<HWND> WindowManager::top_levels(const Locked&, DWORD threadId) const {
    std::vector<HWND> out;
    for (auto& [key, w] : m_windows)
        if (w->threadId == threadId && w->parent == nullptr)
            out.push_back(w->hwnd);
    return out;
}

HWND WindowManager::first_to_paint(const Locked& locked, DWORD threadId) const {
    if (m_toPaint == 0)
        return nullptr;
    for (auto& [key, w] : m_windows) {
        const Window::State& s = w->state(locked);
        if (w->threadId == threadId && s.dirty && s.visible)
            return w->hwnd;
    }
    return nullptr;
}

bool WindowManager::show(const Locked& locked, Window& window, bool visible) {
    Window::State& s = window.state(locked);
    const bool wasVisible = s.visible;
    const bool appears = visible && !wasVisible;
    set_paint_state(s, s.dirty || appears, visible);
    if (appears)
        s.dirtyRect = gfx::client_rect(s.rect);
    // Only the owner paints it.
    Kernel::get().notify_thread(locked, window.threadId);
    return wasVisible;
}

void WindowManager::move(const Locked& locked, Window& window, const RECT& rect, bool repaint) {
    Window::State& s = window.state(locked);
    s.rect = rect;
    if (repaint) {
        set_paint_state(s, true, s.visible);
        s.dirtyRect = gfx::client_rect(s.rect);
    }
    // Only the owner paints it.
    Kernel::get().notify_thread(locked, window.threadId);
}

bool WindowManager::invalidate(const Locked& locked, Window& window, const RECT* rect) {
    Window::State& s = window.state(locked);
    const RECT all = gfx::client_rect(s.rect);
    const RECT r = gfx::intersect(rect ? *rect : all, all);
    if (gfx::is_empty(r))
        return false;
    // Invalidations merge into one update rectangle.
    s.dirtyRect = s.dirty ? gfx::unite(s.dirtyRect, r) : r;
    set_paint_state(s, true, s.visible);
    // Only the owner paints it.
    Kernel::get().notify_thread(locked, window.threadId);
    return true;
}

// ----- lookups for the drawing code and the hosts -----------------------------

std::shared_ptr<Window> find_window(const Kernel::Locked& locked, HWND hwnd) {
    return WindowManager::get().find(locked, hwnd);
}

std::shared_ptr<Window> find_window(HWND hwnd) {
    return find_window(Kernel::get().lock(), hwnd);
}

bool WindowManager::take_update_rect(const Locked& locked, Window& window, RECT& rect) {
    Window::State& s = window.state(locked);
    if (!s.dirty)
        return false;
    rect = s.dirtyRect;
    set_paint_state(s, false, s.visible);
    return true;
}

void WindowManager::set_paint_state(Window::State& s, bool dirty, bool visible) {
    const bool was = s.dirty && s.visible;
    s.dirty = dirty;
    s.visible = visible;
    const bool is = dirty && visible;
    if (is && !was)
        ++m_toPaint;
    else if (was && !is)
        --m_toPaint;
}

bool take_update_rect(HWND hwnd, RECT& rect) {
    Kernel::Locked locked = Kernel::get().lock();
    auto w = find_window(locked, hwnd);
    return w && WindowManager::get().take_update_rect(locked, *w, rect);
}

std::vector<HWND> top_level_windows(DWORD threadId) {
    return WindowManager::get().top_levels(Kernel::get().lock(), threadId);
}

HWND window_parent(HWND hwnd) {
    auto w = find_window(hwnd);
    return w ? w->parent : nullptr;
}

bool is_boot_thread() {
    return Kernel::get().is_boot_thread();
}

} // namespace zt::sys
