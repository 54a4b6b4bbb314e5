#pragma once
// Image files a scene names: PNG and JPEG. Their kind and size from the header, and their pixels,
// upright as a JPEG's EXIF orientation says. Decoded with libpng and libjpeg in the Linux build
// and with stb_image in the Windows build; the header and EXIF reading here serves both.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/model/Model.h"

namespace sim {

// Width and height from a PNG's header, without decoding it; false when the file does not start
// like a PNG.
bool pngHeaderSize(const std::string& path, int& width, int& height);

enum class ImageKind { Png, Jpeg };

struct ImageHeader {
    ImageKind kind = ImageKind::Png;
    int width = 0, height = 0;  // as shown: a JPEG turned by its orientation
    int orientation = 1;        // EXIF orientation, 1 (as stored) to 8; PNGs 1
};

// What a PNG's or a JPEG's header says, without decoding the picture; false when the file is
// neither or its header is broken.
bool readImageHeader(const std::string& path, ImageHeader& header);

// The EXIF orientation in the payload of a JPEG's APP1 segment ("Exif\0\0" and a TIFF block);
// 1 when it holds none or is malformed.
int exifOrientation(const uint8_t* payload, size_t size);

// Stored pixels turned upright as an EXIF orientation says (2 to 8 mirror and turn them).
Image orientUpright(const Image& stored, int orientation);

// Reads a PNG into straight RGBA; throws std::runtime_error naming the file when it cannot.
Image loadPng(const std::string& path);

// Reads a PNG or a JPEG (upright) into straight RGBA; throws std::runtime_error naming the file
// when it cannot.
Image loadImage(const std::string& path);

}  // namespace sim
