// PNG decoding and encoding over stb_image and stb_image_write.
#include "zt/gfx/png.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace zt::gfx {

std::optional<Surface> decode_png(const void* data, std::size_t size) {
    if (data == nullptr || size == 0 || size > static_cast<std::size_t>(INT_MAX))
        return std::nullopt;
    int width = 0, height = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
        stbi_load_from_memory(static_cast<const stbi_uc*>(data), static_cast<int>(size), &width, &height, &channels, 4),
        stbi_image_free);
    if (!rgba || width <= 0 || height <= 0)
        return std::nullopt;
    Surface surface(width, height, 0);
    const stbi_uc* in = rgba.get();
    std::uint32_t* out = surface.data();
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count; ++i, in += 4)
        out[i] = (std::uint32_t{in[3]} << 24) | (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
    return surface;
}

bool write_png(const Surface& surface, const std::string& path, std::string* error) {
    auto fail = [&](const std::string& reason) {
        if (error != nullptr)
            *error = "cannot write " + path + ": " + reason;
        return false;
    };
    if (surface.empty())
        return fail("the image is empty");

    std::vector<unsigned char> rgba(static_cast<std::size_t>(surface.width()) *
                                    static_cast<std::size_t>(surface.height()) * 4);
    unsigned char* out = rgba.data();
    const std::uint32_t* in = surface.data();
    for (std::size_t i = 0; i < rgba.size() / 4; ++i, out += 4) {
        out[0] = static_cast<unsigned char>(in[i] >> 16);
        out[1] = static_cast<unsigned char>(in[i] >> 8);
        out[2] = static_cast<unsigned char>(in[i]);
        out[3] = static_cast<unsigned char>(in[i] >> 24);
    }

    // Encoded in memory first so that file errors can be told apart and named.
    std::vector<unsigned char> png;
    auto append = [](void* context, void* data, int size) {
        auto* bytes = static_cast<unsigned char*>(data);
        static_cast<std::vector<unsigned char>*>(context)->insert(
            static_cast<std::vector<unsigned char>*>(context)->end(), bytes, bytes + size);
    };
    if (stbi_write_png_to_func(append, &png, surface.width(), surface.height(), 4, rgba.data(), surface.width() * 4) ==
        0)
        return fail("the image could not be encoded");

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return fail(std::strerror(errno));
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(path.c_str()); // no half-written image left behind
        return fail(std::strerror(written ? errno : writeErrno));
    }
    return true;
}

} // namespace zt::gfx
