#include "PeImage.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace pe {

namespace {
constexpr int kExportDirectory = 0, kImportDirectory = 1, kResourceDirectory = 2;
constexpr uint32_t kHighBit = 0x80000000u;
}  // namespace

Image Image::fromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot read");
    return Image(std::string(std::istreambuf_iterator<char>(in), {}));
}

Image::Image(std::string bytes) : bytes_(std::move(bytes)) {
    if (bytes_.size() < 0x40 || bytes_.compare(0, 2, "MZ") != 0)
        throw std::runtime_error("not an executable: no MZ header");
    const size_t pe = u32(0x3c);
    if (bytes_.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        throw std::runtime_error("no PE signature");
    machine_ = uint16_t(u16(pe + 4));
    const uint32_t sectionCount = u16(pe + 6);
    const size_t optional = pe + 24;
    if (u16(optional) != 0x20b) throw std::runtime_error("not a PE32+ image");
    directoryCount_ = u32(optional + 108);
    directories_ = optional + 112;
    const size_t table = optional + u16(pe + 20);
    for (uint32_t i = 0; i < sectionCount; ++i) {
        const size_t s = table + 40 * i;
        sections_.push_back({u32(s + 12), u32(s + 8), u32(s + 20), u32(s + 16)});
    }
}

uint32_t Image::u16(size_t at) const {
    if (at + 2 > bytes_.size()) throw std::runtime_error("read past the end of the file");
    return uint32_t(uint8_t(bytes_[at])) | uint32_t(uint8_t(bytes_[at + 1])) << 8;
}

uint32_t Image::u32(size_t at) const {
    return u16(at) | u16(at + 2) << 16;
}

size_t Image::offsetOf(uint32_t rva) const {
    for (const Section& s : sections_) {
        if (rva >= s.address && rva < s.address + std::max(s.size, s.fileSize))
            return s.fileOffset + (rva - s.address);
    }
    throw std::runtime_error("address outside every section");
}

std::string Image::cString(uint32_t rva) const {
    const size_t at = offsetOf(rva);
    const size_t end = bytes_.find('\0', at);
    if (end == std::string::npos) throw std::runtime_error("unterminated name");
    return bytes_.substr(at, end - at);
}

uint32_t Image::directory(int index) const {
    return uint32_t(index) < directoryCount_ ? u32(directories_ + 8 * size_t(index)) : 0;
}

std::vector<std::string> Image::exports() const {
    std::vector<std::string> names;
    const uint32_t dir = directory(kExportDirectory);
    if (!dir) return names;
    const size_t at = offsetOf(dir);
    const uint32_t count = u32(at + 24), table = u32(at + 32);
    for (uint32_t i = 0; i < count; ++i) names.push_back(cString(u32(offsetOf(table + 4 * i))));
    return names;
}

std::vector<std::string> Image::importedDlls() const {
    std::vector<std::string> dlls;
    const uint32_t dir = directory(kImportDirectory);
    if (!dir) return dlls;
    for (size_t at = offsetOf(dir); u32(at + 12) != 0; at += 20)
        dlls.push_back(cString(u32(at + 12)));
    return dlls;
}

// The entry of a resource directory with that name (UTF-16, compared as ASCII) or id: its
// offset field.
std::optional<uint32_t> Image::resourceEntry(uint32_t dir, const std::string* name,
                                             uint32_t id) const {
    const uint32_t base = directory(kResourceDirectory);
    const size_t at = offsetOf(base + dir);
    const uint32_t named = u16(at + 12), ids = u16(at + 14);
    for (uint32_t i = 0; i < named + ids; ++i) {
        const size_t entry = at + 16 + 8 * size_t(i);
        const uint32_t key = u32(entry);
        bool match = false;
        if (key & kHighBit) {
            const size_t s = offsetOf(base + (key & ~kHighBit));
            std::string text;
            for (uint32_t c = 0; c < u16(s); ++c) text += char(u16(s + 2 + 2 * size_t(c)));
            match = name && text == *name;
        } else {
            match = !name && key == id;
        }
        if (match) return u32(entry + 4);
    }
    return std::nullopt;
}

std::optional<std::string> Image::resource(const std::string& type, uint32_t id,
                                           uint32_t language) const {
    if (!directory(kResourceDirectory)) return std::nullopt;
    const auto byType = resourceEntry(0, &type, 0);
    if (!byType || !(*byType & kHighBit)) return std::nullopt;
    const auto byId = resourceEntry(*byType & ~kHighBit, nullptr, id);
    if (!byId || !(*byId & kHighBit)) return std::nullopt;
    const auto byLanguage = resourceEntry(*byId & ~kHighBit, nullptr, language);
    if (!byLanguage || (*byLanguage & kHighBit)) return std::nullopt;
    const size_t data = offsetOf(directory(kResourceDirectory) + *byLanguage);
    const size_t at = offsetOf(u32(data));
    const uint32_t size = u32(data + 4);
    if (at + size > bytes_.size()) throw std::runtime_error("resource past the end of the file");
    return bytes_.substr(at, size);
}

}  // namespace pe
