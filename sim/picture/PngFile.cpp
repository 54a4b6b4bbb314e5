// PNG files read through libpng's simplified API.
#include <png.h>

#include <cstring>
#include <stdexcept>

#include "sim/model/ImageFile.h"

namespace sim {

// libpng hands the file's colours over as stored, unpremultiplied: a faint pixel keeps its
// colour exactly, as the host's footage does (a premultiplied surface would round it away).
Image loadPng(const std::string& path) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        throw std::runtime_error(path + ": cannot read the PNG image (" + png.message + ")");
    png.format = PNG_FORMAT_RGBA;
    png.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;  // 16-bit files hold display values, like 8-bit ones
    Image image;
    image.width = int(png.width);
    image.height = int(png.height);
    image.rgba.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr)) {
        const std::string why = png.message;
        png_image_free(&png);
        throw std::runtime_error(path + ": cannot read the PNG image (" + why + ")");
    }
    return image;
}

}  // namespace sim
