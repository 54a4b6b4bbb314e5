// PNG and JPEG files read with stb_image where libpng and libjpeg are not built in. The pixels
// equal the libpng reader's for 8-bit files: the colours as stored, unpremultiplied. 16-bit
// channels become the nearest 8-bit value. JPEGs are turned upright by their EXIF orientation, as
// the libjpeg reader turns them (their colours may differ from libjpeg's in the last bits).
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
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

Image loadImage(const std::string& path) {
    ImageHeader header;
    if (!readImageHeader(path, header))
        throw std::runtime_error(path + ": not a PNG or JPEG image");
    if (header.kind == ImageKind::Png) return loadPng(path);
    Image stored;
    stored.rgba = decode(path, stored.width, stored.height);
    const bool turned = header.orientation >= 5;
    if (stored.rgba.empty() || stored.width != (turned ? header.height : header.width) ||
        stored.height != (turned ? header.width : header.height))
        throw std::runtime_error(path + ": cannot read the JPEG image");
    return orientUpright(stored, header.orientation);
}

}  // namespace sim
