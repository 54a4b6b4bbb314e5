// Writes the JPEG test files beside it: one picture, 32 x 16 as shown (top left red, top right
// green, bottom left blue, bottom right white), stored eight ways with the EXIF orientation that
// shows it upright (orient1.jpg to orient8.jpg; odd ones with a little-endian EXIF block, even
// ones big-endian), and hostile ones. Run from this folder:
//     c++ -std=c++17 make_jpegs.cpp -ljpeg -o /tmp/make_jpegs && /tmp/make_jpegs
// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const int kW = 32, kH = 16;

void shownColour(int x, int y, uint8_t rgb[3]) {
    static const uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    const uint8_t* c = colours[(y >= kH / 2) * 2 + (x >= kW / 2)];
    for (int i = 0; i < 3; ++i) rgb[i] = c[i];
}

// The EXIF APP1 payload with one Orientation entry.
std::vector<uint8_t> exif(int orientation, bool little) {
    std::vector<uint8_t> b = {'E', 'x', 'i', 'f', 0, 0};
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.push_back(uint8_t(v >> (8 * (little ? i : bytes - 1 - i))));
    };
    b.push_back(little ? 'I' : 'M');
    b.push_back(little ? 'I' : 'M');
    put(42, 2);
    put(8, 4);       // IFD0 right after the header
    put(1, 2);       // one entry
    put(0x0112, 2);  // Orientation
    put(3, 2);       // SHORT
    put(1, 4);
    put(uint32_t(orientation), 2);
    put(0, 2);
    put(0, 4);  // no next IFD
    return b;
}

void write(const std::string& name, int orientation, const std::vector<uint8_t>& app1) {
    const bool turned = orientation >= 5;
    const int w = turned ? kH : kW, h = turned ? kW : kH;
    std::vector<uint8_t> stored(size_t(w) * h * 3);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            int sx = x, sy = y;  // the stored pixel shown at (x, y), as EXIF defines it
            switch (orientation) {
                case 2:
                    sx = w - 1 - x;
                    break;
                case 3:
                    sx = w - 1 - x;
                    sy = h - 1 - y;
                    break;
                case 4:
                    sy = h - 1 - y;
                    break;
                case 5:
                    sx = y;
                    sy = x;
                    break;
                case 6:
                    sx = y;
                    sy = h - 1 - x;
                    break;
                case 7:
                    sx = w - 1 - y;
                    sy = h - 1 - x;
                    break;
                case 8:
                    sx = w - 1 - y;
                    sy = x;
                    break;
                default:
                    break;
            }
            shownColour(x, y, &stored[(size_t(sy) * w + sx) * 3]);
        }
    }
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    FILE* f = std::fopen(name.c_str(), "wb");
    jpeg_stdio_dest(&c, f);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    for (int i = 0; i < 3; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    jpeg_start_compress(&c, TRUE);
    if (!app1.empty()) jpeg_write_marker(&c, JPEG_APP0 + 1, app1.data(), unsigned(app1.size()));
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = &stored[size_t(c.next_scanline) * w * 3];
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
}

std::string slurp(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void spit(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
}

}  // namespace

int main() {
    for (int o = 1; o <= 8; ++o) write("orient" + std::to_string(o) + ".jpg", o, exif(o, o % 2));
    // EXIF whose entries run past the segment and point nowhere: read as orientation 1.
    std::vector<uint8_t> bad = exif(6, false);
    bad[6 + 8] = 0xff;  // 65280 entries
    bad[6 + 4] = 0x7f;  // and IFD0 far beyond
    write("bad-exif.jpg", 1, bad);
    const std::string whole = slurp("orient1.jpg");
    spit("truncated.jpg", whole.substr(0, whole.size() / 2));
    // A frame header claiming 40000 x 10 pixels, and nothing after it.
    spit("huge.jpg",
         std::string("\xff\xd8\xff\xc0\x00\x0b\x08\x00\x0a\x9c\x40\x01\x01\x11\x00", 15));
    // Segments and no frame header: the walk ends at the end of the file.
    std::string segments = "\xff\xd8";
    for (int i = 0; i < 2000; ++i) segments += std::string("\xff\xe2\x00\x02", 4);
    spit("no-frame.jpg", segments);
    return 0;
}
