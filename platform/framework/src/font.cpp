// FontHelper: fonts made once per request and kept for the process.
#include "framework_internal.h"

#include "zt/sys/guarded.h"

#include <map>
#include <tuple>

HFONT FontHelper::GetFont(LONG height, LONG weight, LONG width, BOOL italic, BOOL underline, BOOL strikeOut) {
    using Key = std::tuple<LONG, LONG, LONG, bool, bool, bool>;
    // Never destroyed, and the fonts never deleted: callers keep selecting
    // them until the process ends.
    static auto* const cache = new zt::sys::Guarded<std::map<Key, HFONT>>();
    const Key key{height, weight, width, italic != 0, underline != 0, strikeOut != 0};
    auto fonts = cache->lock();
    auto it = fonts->find(key);
    if (it != fonts->end())
        return it->second;
    LOGFONTW logfont{};
    logfont.lfHeight = height;
    logfont.lfWidth = width;
    logfont.lfWeight = weight;
    logfont.lfItalic = italic ? 1 : 0;
    logfont.lfUnderline = underline ? 1 : 0;
    logfont.lfStrikeOut = strikeOut ? 1 : 0;
    HFONT font = CreateFontIndirectW(&logfont);
    if (font != nullptr)
        fonts->emplace(key, font);
    return font;
}
