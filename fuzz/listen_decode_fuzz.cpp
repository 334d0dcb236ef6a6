// zentrick-shell-listen's record decoder: any record of any length becomes
// one line of valid UTF-8 that cannot steer a terminal: no control
// characters (C0, DEL, C1), no line or paragraph separators, no
// bidirectional controls.
#include "decode.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"

namespace {

// Decodes one UTF-8 sequence at `i`; -1 when it is not well formed.
long next_code_point(const std::string& text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + static_cast<std::size_t>(length) > text.size())
        return -1;
    long cp = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        if ((byte(i + static_cast<std::size_t>(k)) & 0xC0) != 0x80)
            return -1;
        cp = (cp << 6) | (byte(i + static_cast<std::size_t>(k)) & 0x3F);
    }
    i += static_cast<std::size_t>(length);
    return cp;
}

bool steers_terminal(long cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029 || (cp >= 0x202A && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069) || cp == 0x200E || cp == 0x200F || cp == 0x061C;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const auto queue = static_cast<zt::listen::Queue>(data[0] % 3);
    const std::string line = zt::listen::decode(queue, data + 1, size - 1);
    FUZZ_CHECK(!line.empty());
    for (std::size_t i = 0; i < line.size();) {
        const long cp = next_code_point(line, i);
        FUZZ_CHECK(cp >= 0);
        FUZZ_CHECK(!steers_terminal(cp));
    }
    return 0;
}
