#include "sim/picture/PngOut.h"

#include <cstdio>
#include <stdexcept>

#include "sim/model/OutputFile.h"

namespace sim {

namespace {

cairo_status_t writeBytes(void* closure, const unsigned char* data, unsigned int length) {
    std::FILE* file = static_cast<std::FILE*>(closure);
    return std::fwrite(data, 1, length, file) == length ? CAIRO_STATUS_SUCCESS
                                                        : CAIRO_STATUS_WRITE_ERROR;
}

}  // namespace

void writeSurfacePng(cairo_surface_t* surface, const std::string& path) {
    OutputFile file(path);
    const cairo_status_t status =
        cairo_surface_write_to_png_stream(surface, writeBytes, file.stream());
    if (status == CAIRO_STATUS_WRITE_ERROR) file.closeStream();  // says why the bytes were refused
    if (status != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot write " + path + ": " + cairo_status_to_string(status));
    file.commit();
}

}  // namespace sim
