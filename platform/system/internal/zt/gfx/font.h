// Fonts for text drawing: font files found through fontconfig (or set by
// hand), glyphs rasterised once per size with stb_truetype and kept.
#pragma once
// Private to platform/system and its tests, which alone the build gives this.
#ifndef ZT_SYSTEM_PRIVATE
#error "a private header of platform/system: include the published ones (zt/platform.h, zt/host.h, zt/sys/...)"
#endif

#include "zt/platform.h"
#include "zt/sys/guarded.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zt::gfx {

enum class FontWeight { Regular, Bold };

// The file used for a weight: the one set with set_font_file, else the sans
// serif file of that weight that fontconfig matches. Empty when there is none.
std::string font_file(FontWeight weight);
// Makes `path` the file for a weight (tests; builds that carry their own
// font). An empty path goes back to fontconfig. Faces made before keep
// their file.
void set_font_file(FontWeight weight, std::string path);

// One rasterised glyph: an 8-bit coverage bitmap placed relative to the pen
// on the baseline.
struct Glyph {
    int index = 0; // in the font, for kerning
    int left = 0;  // bitmap's left edge from the pen
    int top = 0;   // bitmap's top edge from the baseline (negative: above)
    int width = 0; // bitmap size
    int height = 0;
    float advance = 0; // pen movement in pixels
    std::vector<std::uint8_t> coverage;
};

// A laid-out line: each glyph with its pen position from the line's start.
struct PlacedGlyph {
    const Glyph* glyph;
    int x;
};
struct TextRun {
    std::vector<PlacedGlyph> glyphs;
    int width = 0; // total advance, rounded
};

class FontFile;

// A font file at one pixel size with its glyph cache. Thread-safe; glyphs,
// once made, stay where they are for the face's lifetime.
class FaceSize {
  public:
    FaceSize(std::shared_ptr<const FontFile> file, float scale);
    ~FaceSize();
    FaceSize(const FaceSize&) = delete;
    FaceSize& operator=(const FaceSize&) = delete;

    // Vertical metrics in whole pixels: the cell is ascent + descent.
    int ascent() const { return m_ascent; }
    int descent() const { return m_descent; }
    int cell_height() const { return m_ascent + m_descent; }

    // Lays out one line of UTF-16 text; control characters take no room.
    void layout(std::u16string_view text, TextRun& run);

  private:
    using Glyphs = std::unordered_map<char32_t, Glyph>;
    // The glyph of a code point, rasterised on first use into the cache.
    const Glyph& glyph(Glyphs& cache, char32_t codepoint);

    std::shared_ptr<const FontFile> m_file;
    float m_scale;
    int m_ascent = 0;
    int m_descent = 0;
    sys::Guarded<Glyphs> m_glyphs;
};

// The shared face for a logical font: lfHeight > 0 is the cell height in
// pixels, < 0 the character (em) height, 0 a default; lfWeight >= 600 picks
// the bold file. Null when no font file loads.
std::shared_ptr<FaceSize> face_for(const LOGFONTW& font);

} // namespace zt::gfx
