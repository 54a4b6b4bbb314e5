#include "sim/model/ImageFile.h"

#include <cstdint>
#include <cstdio>
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

namespace {

uint32_t bigEndian(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | p[i];
    return v;
}

uint32_t inOrder(const uint8_t* p, int bytes, bool little) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | p[little ? bytes - 1 - i : i];
    return v;
}

// JPEG start-of-frame markers: SOF0 to SOF15 but DHT (C4), JPG (C8) and DAC (CC).
bool isFrameMarker(int m) {
    return m >= 0xc0 && m <= 0xcf && m != 0xc4 && m != 0xc8 && m != 0xcc;
}

// Walks a JPEG's segments up to its frame header: the size and, from an EXIF segment before it,
// the orientation. A file with far more segments than any camera writes is not read on.
bool jpegHeader(std::ifstream& in, ImageHeader& header) {
    constexpr int kMaxSegments = 10000;
    int orientation = 1;
    bool sawExif = false;
    for (int segment = 0; segment < kMaxSegments; ++segment) {
        int byte = in.get();
        if (byte != 0xff) return false;
        while (byte == 0xff) byte = in.get();  // fill bytes
        if (byte == EOF) return false;
        const int marker = byte;
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) continue;  // no length
        if (marker == 0xd8 || marker == 0xd9 || marker == 0xda) return false;
        uint8_t two[2];
        if (!in.read(reinterpret_cast<char*>(two), 2)) return false;
        const uint32_t length = bigEndian(two, 2);
        if (length < 2) return false;
        if (isFrameMarker(marker)) {
            uint8_t frame[5];  // precision, height, width
            if (length < 2 + 5 || !in.read(reinterpret_cast<char*>(frame), 5)) return false;
            const int height = int(bigEndian(frame + 1, 2)), width = int(bigEndian(frame + 3, 2));
            if (width == 0 || height == 0) return false;  // a height given later (DNL): refused
            const bool turned = orientation >= 5;
            header.kind = ImageKind::Jpeg;
            header.width = turned ? height : width;
            header.height = turned ? width : height;
            header.orientation = orientation;
            return true;
        }
        if (marker == 0xe1 && !sawExif) {
            std::string payload(length - 2, '\0');
            if (!in.read(payload.data(), std::streamsize(payload.size()))) return false;
            const auto* bytes = reinterpret_cast<const uint8_t*>(payload.data());
            if (payload.size() >= 6 && payload.compare(0, 6, std::string("Exif\0\0", 6)) == 0) {
                sawExif = true;  // the first EXIF segment counts, as cameras write one
                orientation = exifOrientation(bytes, payload.size());
            }
            continue;
        }
        if (!in.seekg(std::streamoff(length - 2), std::ios::cur)) return false;
    }
    return false;
}

}  // namespace

int exifOrientation(const uint8_t* payload, size_t size) {
    if (size < 6 + 8 || std::memcmp(payload, "Exif\0\0", 6) != 0) return 1;
    const uint8_t* tiff = payload + 6;
    const size_t n = size - 6;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 1;
    if (inOrder(tiff + 2, 2, little) != 42) return 1;
    const size_t ifd = inOrder(tiff + 4, 4, little);
    if (ifd < 8 || ifd > n - 2) return 1;
    const size_t entries = inOrder(tiff + ifd, 2, little);
    for (size_t i = 0; i < entries; ++i) {
        const size_t at = ifd + 2 + 12 * i;
        if (at + 12 > n) break;
        const uint8_t* e = tiff + at;
        if (inOrder(e, 2, little) != 0x0112) continue;
        if (inOrder(e + 2, 2, little) != 3 || inOrder(e + 4, 4, little) != 1) return 1;  // SHORT
        const uint32_t value = inOrder(e + 8, 2, little);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

bool readImageHeader(const std::string& path, ImageHeader& header) {
    header = ImageHeader();
    if (pngHeaderSize(path, header.width, header.height)) return true;
    std::ifstream in(path, std::ios::binary);
    if (in.get() != 0xff || in.get() != 0xd8) return false;
    return jpegHeader(in, header);
}

Image orientUpright(const Image& stored, int orientation) {
    if (orientation < 2 || orientation > 8) return stored;
    const int w = stored.width, h = stored.height;
    const bool turned = orientation >= 5;
    Image upright;
    upright.width = turned ? h : w;
    upright.height = turned ? w : h;
    upright.rgba.resize(stored.rgba.size());
    for (int y = 0; y < upright.height; ++y) {
        for (int x = 0; x < upright.width; ++x) {
            int sx = x, sy = y;  // the stored pixel shown at (x, y)
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
            std::memcpy(&upright.rgba[(size_t(y) * size_t(upright.width) + size_t(x)) * 4],
                        &stored.rgba[(size_t(sy) * size_t(w) + size_t(sx)) * 4], 4);
        }
    }
    return upright;
}

}  // namespace sim
