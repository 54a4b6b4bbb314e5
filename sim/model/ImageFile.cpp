#include "sim/model/ImageFile.h"

#include <cstdint>
#include <cstring>
#include <fstream>

namespace sim {

bool pngHeaderSize(const std::string& path, int& width, int& height) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    unsigned char head[24] = {};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return false;
    if (std::memcmp(head, signature, 8) != 0 || std::memcmp(head + 12, "IHDR", 4) != 0)
        return false;
    auto big = [&](int at) {
        return uint32_t(head[at]) << 24 | uint32_t(head[at + 1]) << 16 |
               uint32_t(head[at + 2]) << 8 | head[at + 3];
    };
    // The format caps both at 2^31 - 1; anything above is not a PNG.
    if (big(16) > 0x7fffffffu || big(20) > 0x7fffffffu) return false;
    width = int(big(16));
    height = int(big(20));
    return true;
}

}  // namespace sim
