#pragma once
// Pictures written as PNG files that appear whole or not at all (see OutputFile).
#include <cairo.h>

#include <string>

namespace sim {

// Writes the surface to path through a temporary and a rename; throws std::runtime_error naming
// the file when it cannot (a full disk, a folder without write permission).
void writeSurfacePng(cairo_surface_t* surface, const std::string& path);

}  // namespace sim
