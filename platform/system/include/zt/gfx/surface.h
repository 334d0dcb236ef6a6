// A 32-bit pixel surface: the backing store of windows, memory DCs, bitmaps
// and decoded images. Pixels are 0xAARRGGBB in native byte order, rows top
// to bottom with no padding. Window surfaces are opaque (alpha 0xFF).
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace zt::gfx {

constexpr std::uint32_t kOpaqueBlack = 0xFF000000u;

// 0x00BBGGRR (COLORREF) to an opaque 0xAARRGGBB pixel.
constexpr std::uint32_t pixel_from_colorref(std::uint32_t c) {
    return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

// Sets `count` pixels to `pixel`. A pixel whose four bytes are equal (white,
// black, transparent) is a memset; any other fills a short head and doubles
// it with memcpy, which the C library does with wide stores either way,
// where a plain loop would store one pixel at a time.
inline void fill_pixels(std::uint32_t* out, std::size_t count, std::uint32_t pixel) {
    // An empty surface may have no pixels at all: memset must not see null.
    if (count == 0)
        return;
    const std::uint32_t byte = pixel & 0xFFu;
    if (pixel == byte * 0x01010101u) {
        std::memset(out, static_cast<int>(byte), count * sizeof(std::uint32_t));
        return;
    }
    constexpr std::size_t kHead = 16;
    std::size_t done = count < kHead ? count : kHead;
    for (std::size_t i = 0; i < done; ++i)
        out[i] = pixel;
    while (done < count) {
        const std::size_t step = done < count - done ? done : count - done;
        std::memcpy(out + done, out, step * sizeof(std::uint32_t));
        done += step;
    }
}

// An allocator that leaves new elements as they are (default
// initialisation): a surface fills new pixels itself, with fill_pixels,
// instead of having the vector write each one first.
template <typename T, typename Base = std::allocator<T>> class UninitialisedAllocator : public Base {
    using Traits = std::allocator_traits<Base>;

  public:
    template <typename U> struct rebind {
        using other = UninitialisedAllocator<U, typename Traits::template rebind_alloc<U>>;
    };
    using Base::Base;
    template <typename U> void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args> void construct(U* p, Args&&... args) {
        Traits::construct(static_cast<Base&>(*this), p, std::forward<Args>(args)...);
    }
};

// Besides its pixels a surface remembers where it was last written, so that
// whoever copies it somewhere (a canvas onto its window) can copy again only
// what changed, and can tell whether its copy is still there. Writing
// through row(), data(), set(), fill() or resize() counts as writing the
// whole surface; a writer that knows its area says so with note_write() and
// then writes through written_row().
class Surface {
  public:
    // A rectangle of pixels, right and bottom exclusive.
    struct Area {
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
    };
    static constexpr std::size_t kRememberedWrites = 16;
    // At most kRememberedWrites areas (fewer when they overlap).
    struct Writes {
        std::array<Area, kRememberedWrites> areas{};
        std::size_t count = 0;
    };

    Surface() = default;
    Surface(int width, int height, std::uint32_t fill = kOpaqueBlack) { resize(width, height, fill); }
    // A copy is another surface: nothing known about the original holds for it.
    Surface(const Surface& other) : m_width(other.m_width), m_height(other.m_height), m_pixels(other.m_pixels) {}
    Surface(Surface&& other) noexcept
        : m_width(other.m_width), m_height(other.m_height), m_pixels(std::move(other.m_pixels)) {
        other.m_width = other.m_height = 0;
        other.m_pixels.clear();
        other.written_all();
    }
    Surface& operator=(const Surface& other) {
        if (this != &other) {
            m_width = other.m_width;
            m_height = other.m_height;
            m_pixels = other.m_pixels;
            renew();
        }
        return *this;
    }
    Surface& operator=(Surface&& other) noexcept {
        if (this != &other) {
            m_width = other.m_width;
            m_height = other.m_height;
            m_pixels = std::move(other.m_pixels);
            other.m_width = other.m_height = 0;
            other.m_pixels.clear();
            other.written_all();
            renew();
        }
        return *this;
    }

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool empty() const { return m_width == 0 || m_height == 0; }

    const std::uint32_t* data() const { return m_pixels.data(); }
    const std::uint32_t* row(int y) const {
        return m_pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width);
    }
    std::uint32_t at(int x, int y) const { return row(y)[x]; }

    // Writing anywhere.
    std::uint32_t* data() {
        written_all();
        return m_pixels.data();
    }
    std::uint32_t* row(int y) {
        written_all();
        return written_row(y);
    }
    void set(int x, int y, std::uint32_t pixel) { row(y)[x] = pixel; }

    // Negative sizes count as 0. Contents are reset to `fill`.
    void resize(int width, int height, std::uint32_t fill = kOpaqueBlack) {
        m_width = std::max(width, 0);
        m_height = std::max(height, 0);
        const std::size_t count = static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height);
        m_pixels.clear();
        m_pixels.resize(count);
        fill_pixels(m_pixels.data(), count, fill);
        renew();
    }
    void fill(std::uint32_t pixel) {
        written_all();
        fill_pixels(m_pixels.data(), m_pixels.size(), pixel);
    }

    // Writing a known area: note it first, then write only inside it
    // through written_row().
    void note_write(const Area& area) {
        if (area.left >= area.right || area.top >= area.bottom)
            return;
        Entry& slot = m_log[m_next];
        m_next = (m_next + 1) % kRememberedWrites;
        if (slot.version > m_forgotten)
            m_forgotten = slot.version;
        slot = Entry{area, ++m_version};
    }
    std::uint32_t* written_row(int y) {
        return m_pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width);
    }

    // Which surface this is: unique in the process; a copy, a move or a
    // resize makes a new one.
    std::uint64_t identity() const { return m_identity; }
    // Grows with every write.
    std::uint64_t version() const { return m_version; }
    // The areas written after `version`, clipped to the surface. False when
    // the surface no longer knows (or everything was written): take it all
    // as written then.
    bool writes_since(std::uint64_t version, Writes& out) const {
        out.count = 0;
        if (version > m_version || m_allAt > version || m_forgotten > version)
            return version == m_version;
        for (const Entry& e : m_log) {
            if (e.version <= version)
                continue;
            const Area a{std::max(e.area.left, 0), std::max(e.area.top, 0), std::min(e.area.right, m_width),
                         std::min(e.area.bottom, m_height)};
            if (a.left < a.right && a.top < a.bottom)
                out.areas[out.count++] = a;
        }
        return true;
    }
    // The smallest area holding every write after `version`: the whole
    // surface when that is no longer known, empty (all zero) when nothing
    // was written.
    Area written_bounds_since(std::uint64_t version) const {
        Writes writes;
        if (!writes_since(version, writes))
            return Area{0, 0, m_width, m_height};
        Area box{};
        for (std::size_t i = 0; i < writes.count; ++i) {
            const Area& w = writes.areas[i];
            box = i == 0 ? w
                         : Area{std::min(box.left, w.left), std::min(box.top, w.top), std::max(box.right, w.right),
                                std::max(box.bottom, w.bottom)};
        }
        return box;
    }
    // True when nothing written after `version` meets `area`.
    bool unchanged_since(std::uint64_t version, const Area& area) const {
        Writes writes;
        if (!writes_since(version, writes))
            return false;
        for (std::size_t i = 0; i < writes.count; ++i) {
            const Area& w = writes.areas[i];
            if (w.left < area.right && area.left < w.right && w.top < area.bottom && area.top < w.bottom)
                return false;
        }
        return true;
    }

  private:
    struct Entry {
        Area area;
        std::uint64_t version = 0;
    };
    static std::uint64_t next_identity() {
        static std::atomic<std::uint64_t> counter{0};
        return ++counter;
    }
    void written_all() { m_allAt = ++m_version; }
    void renew() {
        m_identity = next_identity();
        m_log = {};
        m_next = 0;
        m_forgotten = 0;
        written_all();
    }

    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint32_t, UninitialisedAllocator<std::uint32_t>> m_pixels;
    std::uint64_t m_identity = next_identity();
    std::uint64_t m_version = 0;
    std::uint64_t m_allAt = 0;     // last write of the whole surface
    std::uint64_t m_forgotten = 0; // newest write dropped from the log
    std::array<Entry, kRememberedWrites> m_log{};
    std::size_t m_next = 0;
};

} // namespace zt::gfx
