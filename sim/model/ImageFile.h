#pragma once
// Image files a scene names: their size from the header, and their pixels. Read with libpng in
// the Linux build and with stb_image in the Windows build.
#include <string>

#include "sim/model/Model.h"

namespace sim {

// Width and height from a PNG's header, without decoding it; false when the file does not start
// like a PNG.
bool pngHeaderSize(const std::string& path, int& width, int& height);

// Reads a PNG into straight RGBA; throws std::runtime_error naming the file when it cannot.
Image loadPng(const std::string& path);

}  // namespace sim
