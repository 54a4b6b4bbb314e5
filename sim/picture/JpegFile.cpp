// JPEG files read through libjpeg(-turbo), and the reader that tells PNG from JPEG. libjpeg
// reports errors by a call that must not return: it jumps back here, where no C++ object is
// made between the jump's start and its target.
#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs size_t and FILE declared before it

#include <jerror.h>
#include <jpeglib.h>

#include <memory>
#include <stdexcept>

#include "sim/model/ImageFile.h"

namespace sim {

namespace {

struct ErrorJump {
    jpeg_error_mgr manager;  // first: libjpeg hands this back as its own
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onError(j_common_ptr info) {
    auto* e = reinterpret_cast<ErrorJump*>(info->err);
    (*info->err->format_message)(info, e->message);
    std::longjmp(e->jump, 1);
}

// A file that ends early decodes as grey with a warning; it is refused as a broken file.
void onMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) onError(info);
}

// Decodes into rgba (sized from the header by the caller's check); false with the reason in
// message when libjpeg refuses the file.
bool decode(FILE* file, Image& image, ErrorJump& error) {
    jpeg_decompress_struct jpeg;
    jpeg.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onError;
    error.manager.emit_message = onMessage;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&jpeg);
        return false;
    }
    jpeg_create_decompress(&jpeg);
    jpeg_stdio_src(&jpeg, file);
    jpeg_read_header(&jpeg, TRUE);
    jpeg.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&jpeg);
    if (int(jpeg.output_width) != image.width || int(jpeg.output_height) != image.height) {
        std::snprintf(error.message, sizeof error.message, "its size changed while reading");
        jpeg_destroy_decompress(&jpeg);
        return false;
    }
    const size_t stride = size_t(image.width) * 4;
    while (jpeg.output_scanline < jpeg.output_height) {
        JSAMPROW row = image.rgba.data() + size_t(jpeg.output_scanline) * stride;
        jpeg_read_scanlines(&jpeg, &row, 1);
    }
    jpeg_finish_decompress(&jpeg);
    jpeg_destroy_decompress(&jpeg);
    return true;
}

Image loadJpeg(const std::string& path, const ImageHeader& header) {
    const bool turned = header.orientation >= 5;
    Image stored;
    stored.width = turned ? header.height : header.width;
    stored.height = turned ? header.width : header.height;
    stored.rgba.resize(size_t(stored.width) * size_t(stored.height) * 4);
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) throw std::runtime_error(path + ": cannot read the JPEG image (cannot open it)");
    ErrorJump error{};
    if (!decode(file.get(), stored, error))
        throw std::runtime_error(path + ": cannot read the JPEG image (" + error.message + ")");
    return orientUpright(stored, header.orientation);
}

}  // namespace

Image loadImage(const std::string& path) {
    ImageHeader header;
    if (!readImageHeader(path, header))
        throw std::runtime_error(path + ": not a PNG or JPEG image");
    return header.kind == ImageKind::Jpeg ? loadJpeg(path, header) : loadPng(path);
}

}  // namespace sim
