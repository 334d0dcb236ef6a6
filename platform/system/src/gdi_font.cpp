// Font files and glyph caches for text drawing.
#include "zt/gfx/font.h"
#include "zt/sys/unicode.h"

#ifndef __EMSCRIPTEN__
#include <fontconfig/fontconfig.h>
#endif
#include <stb_truetype.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

#ifdef __EMSCRIPTEN__
// The browser has neither fontconfig nor font files: the web build compiles
// the bold sans serif file into the program under these names (weak, so a
// program without them simply has no font) and the path below stands for it.
// A missing regular weight falls back on the bold one.
extern "C" __attribute__((weak)) const unsigned char zt_embedded_font_bold[];
extern "C" __attribute__((weak)) const unsigned long zt_embedded_font_bold_size;
#endif

namespace zt::gfx {

#ifdef __EMSCRIPTEN__
namespace {
constexpr const char* kEmbeddedBold = "embedded:bold";
bool have_embedded_bold() {
    return &zt_embedded_font_bold_size != nullptr && zt_embedded_font_bold != nullptr;
}
} // namespace
#endif

// One font file held in memory: stb_truetype reads it in place.
class FontFile {
  public:
    static std::shared_ptr<const FontFile> load(const std::string& path) {
        auto file = std::shared_ptr<FontFile>(new FontFile());
        if (!read_file(path, file->m_bytes))
            return nullptr;
        const auto* data = file->m_bytes.data();
        const int offset = stbtt_GetFontOffsetForIndex(data, 0);
        if (file->m_bytes.empty() || offset < 0 || stbtt_InitFont(&file->m_info, data, offset) == 0)
            return nullptr;
        return file;
    }
    const stbtt_fontinfo& info() const { return m_info; }

  private:
    FontFile() = default;
    // C stdio rather than a stream: the streams would bring their locale
    // machinery into the web page, which has no files to read anyway. "e":
    // close-on-exec, like every file the platform opens.
    static bool read_file(const std::string& path, std::vector<unsigned char>& bytes) {
#ifdef __EMSCRIPTEN__
        // The page has no files: only the font embedded at build time.
        if (path != kEmbeddedBold || !have_embedded_bold())
            return false;
        bytes.assign(zt_embedded_font_bold, zt_embedded_font_bold + zt_embedded_font_bold_size);
        return true;
#else
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rbe"), &std::fclose);
        if (!in)
            return false;
        unsigned char chunk[16384];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, in.get())) > 0;)
            bytes.insert(bytes.end(), chunk, chunk + n);
        return std::ferror(in.get()) == 0;
#endif
    }
    std::vector<unsigned char> m_bytes;
    stbtt_fontinfo m_info{};
};

namespace {

// Sizes past this would only make huge glyph bitmaps.
constexpr LONG kMaxPixelHeight = 1024;
constexpr LONG kDefaultCellHeight = 16;

// The chosen font files, the loaded files and the sized faces.
struct FontTables {
    std::string setFile[2];
    // A failed load is kept too: no retry per call.
    std::map<std::string, std::shared_ptr<const FontFile>> files;
    std::map<std::pair<const FontFile*, LONG>, std::shared_ptr<FaceSize>> faces;
};

// Never destroyed, like every cache of the platform: static objects may
// draw text until the process ends.
sys::Guarded<FontTables>& font_tables() {
    static auto* const tables = new sys::Guarded<FontTables>();
    return *tables;
}

// fontconfig's sans serif files for both weights. Its configuration is
// loaded for this one question and dropped again: nothing of it is kept.
struct Matched {
    std::string regular;
    std::string bold;
};

Matched match_with_fontconfig() {
    Matched matched;
#ifdef __EMSCRIPTEN__
    if (have_embedded_bold())
        matched.bold = kEmbeddedBold;
    return matched;
#else
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr)
        return matched;
    for (FontWeight weight : {FontWeight::Regular, FontWeight::Bold}) {
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
        if (pattern == nullptr)
            continue;
        FcPatternAddInteger(pattern, FC_WEIGHT, weight == FontWeight::Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config, pattern, &result);
        FcChar8* file = nullptr;
        if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr)
            (weight == FontWeight::Bold ? matched.bold : matched.regular) = reinterpret_cast<const char*>(file);
        if (match != nullptr)
            FcPatternDestroy(match);
        FcPatternDestroy(pattern);
    }
    FcConfigDestroy(config);
    return matched;
#endif
}

std::shared_ptr<const FontFile> file_for(FontWeight weight) {
    std::string path = font_file(weight);
    auto tables = font_tables().lock();
    auto it = tables->files.find(path);
    if (it != tables->files.end())
        return it->second;
    auto file = path.empty() ? nullptr : FontFile::load(path);
    tables->files.emplace(path, file);
    return file;
}

} // namespace

std::string font_file(FontWeight weight) {
    {
        auto tables = font_tables().lock();
        const std::string& set = tables->setFile[weight == FontWeight::Bold ? 1 : 0];
        if (!set.empty())
            return set;
    }
    // Asked once: the answer does not change while the program runs. Never
    // destroyed, so that text drawn at exit still finds its font.
    static const Matched* const matched = new Matched(match_with_fontconfig());
    return weight == FontWeight::Bold ? matched->bold : matched->regular;
}

void set_font_file(FontWeight weight, std::string path) {
    font_tables().lock()->setFile[weight == FontWeight::Bold ? 1 : 0] = std::move(path);
}

FaceSize::FaceSize(std::shared_ptr<const FontFile> file, float scale) : m_file(std::move(file)), m_scale(scale) {
    int ascent = 0, descent = 0, lineGap = 0;
    stbtt_GetFontVMetrics(&m_file->info(), &ascent, &descent, &lineGap);
    m_ascent = static_cast<int>(std::lround(ascent * m_scale));
    m_descent = static_cast<int>(std::lround(-descent * m_scale));
}

FaceSize::~FaceSize() = default;

const Glyph& FaceSize::glyph(Glyphs& cache, char32_t codepoint) {
    auto it = cache.find(codepoint);
    if (it != cache.end())
        return it->second;
    const stbtt_fontinfo& info = m_file->info();
    Glyph glyph;
    glyph.index = stbtt_FindGlyphIndex(&info, static_cast<int>(codepoint));
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(&info, glyph.index, &advance, &bearing);
    glyph.advance = static_cast<float>(advance) * m_scale;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    stbtt_GetGlyphBitmapBox(&info, glyph.index, m_scale, m_scale, &x0, &y0, &x1, &y1);
    if (x1 > x0 && y1 > y0) {
        glyph.left = x0;
        glyph.top = y0;
        glyph.width = x1 - x0;
        glyph.height = y1 - y0;
        glyph.coverage.assign(static_cast<std::size_t>(glyph.width) * static_cast<std::size_t>(glyph.height), 0);
        stbtt_MakeGlyphBitmap(&info, glyph.coverage.data(), glyph.width, glyph.height, glyph.width, m_scale, m_scale,
                              glyph.index);
    }
    return cache.emplace(codepoint, std::move(glyph)).first->second;
}

void FaceSize::layout(std::u16string_view text, TextRun& run) {
    run.glyphs.clear();
    auto cache = m_glyphs.lock();
    float pen = 0;
    const Glyph* previous = nullptr;
    for (std::size_t i = 0; i < text.size();) {
        const char32_t codepoint = sys::decode_utf16(text, i);
        if (codepoint < 0x20 || codepoint == 0x7F) {
            previous = nullptr;
            continue;
        }
        const Glyph& found = glyph(*cache, codepoint);
        if (previous != nullptr)
            pen +=
                static_cast<float>(stbtt_GetGlyphKernAdvance(&m_file->info(), previous->index, found.index)) * m_scale;
        run.glyphs.push_back({&found, static_cast<int>(std::lround(pen))});
        pen += found.advance;
        previous = &found;
    }
    run.width = static_cast<int>(std::lround(pen));
}

std::shared_ptr<FaceSize> face_for(const LOGFONTW& font) {
    const FontWeight weight = font.lfWeight >= 600 ? FontWeight::Bold : FontWeight::Regular;
    auto file = file_for(weight);
    if (!file) // a missing weight falls back on the other one
        file = file_for(weight == FontWeight::Bold ? FontWeight::Regular : FontWeight::Bold);
    if (!file)
        return nullptr;

    LONG height = font.lfHeight == 0 ? kDefaultCellHeight : font.lfHeight;
    height = std::clamp<LONG>(height, -kMaxPixelHeight, kMaxPixelHeight);
    auto tables = font_tables().lock();
    auto& face = tables->faces[{file.get(), height}];
    if (!face) {
        // Positive: the whole cell (ascent + descent); negative: the em.
        const float scale = height > 0 ? stbtt_ScaleForPixelHeight(&file->info(), static_cast<float>(height))
                                       : stbtt_ScaleForMappingEmToPixels(&file->info(), static_cast<float>(-height));
        face = std::make_shared<FaceSize>(file, scale);
    }
    return face;
}

} // namespace zt::gfx
