// PNG files read with stb_image where libpng is not built in. The pixels equal the libpng
// reader's for 8-bit files: the colours as stored, unpremultiplied. 16-bit channels become the
// nearest 8-bit value.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_FAILURE_USERMSG
#include <stb/stb_image.h>

#include <memory>
#include <stdexcept>

#include "sim/model/ImageFile.h"

namespace sim {

namespace {

// The nearest 8-bit value of a 16-bit one.
uint8_t scale16(uint16_t v) {
    return uint8_t((uint32_t(v) * 255 + 32767) / 65535);
}

// The decoded RGBA of a file, 8 bits per channel.
std::vector<uint8_t> decode(const std::string& path, int& width, int& height) {
    int channels = 0;
    std::vector<uint8_t> rgba;
    if (stbi_is_16_bit(path.c_str())) {
        std::unique_ptr<stbi_us, void (*)(void*)> data(
            stbi_load_16(path.c_str(), &width, &height, &channels, 4), stbi_image_free);
        if (!data) return rgba;
        rgba.resize(size_t(width) * size_t(height) * 4);
        for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = scale16(data.get()[i]);
    } else {
        std::unique_ptr<stbi_uc, void (*)(void*)> data(
            stbi_load(path.c_str(), &width, &height, &channels, 4), stbi_image_free);
        if (!data) return rgba;
        rgba.assign(data.get(), data.get() + size_t(width) * size_t(height) * 4);
    }
    return rgba;
}

}  // namespace

Image loadPng(const std::string& path) {
    Image image;
    image.rgba = decode(path, image.width, image.height);
    if (image.rgba.empty()) throw std::runtime_error(path + ": cannot read the PNG image");
    return image;
}

}  // namespace sim
