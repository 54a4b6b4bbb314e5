// The generated property list resource, read back byte by byte, its resource-script twin and
// the macOS resource file.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::string kDir = std::string(TESSARON_BINARY_DIR) + "/generated/";

// A reader over the resource bytes, little-endian (Windows) or big-endian (macOS).
class Reader {
  public:
    explicit Reader(std::string bytes, bool bigEndian = false)
        : bytes_(std::move(bytes)), big_(bigEndian) {}
    uint32_t u16() {
        const uint32_t a = byte(), b = byte();
        return big_ ? a << 8 | b : a | b << 8;
    }
    uint32_t u32() {
        const uint32_t a = u16(), b = u16();
        return big_ ? a << 16 | b : a | b << 16;
    }
    uint32_t u24() { return u16() << 8 | byte(); }  // big-endian only
    void seek(size_t pos) { pos_ = pos; }
    std::string raw(size_t n) {
        EXPECT_LE(pos_ + n, bytes_.size());
        std::string s = bytes_.substr(pos_, n);
        pos_ += n;
        return s;
    }
    size_t pos() const { return pos_; }
    bool atEnd() const { return pos_ == bytes_.size(); }

  private:
    uint8_t byte() {
        EXPECT_LT(pos_, bytes_.size());
        return pos_ < bytes_.size() ? uint8_t(bytes_[pos_++]) : 0;
    }
    std::string bytes_;
    bool big_;
    size_t pos_ = 0;
};

struct Property {
    std::string vendor, key;
    uint32_t index, length;
    std::string data;  // length bytes, without padding
};

Property readProperty(Reader& r) {
    Property p;
    p.vendor = r.raw(4);
    p.key = r.raw(4);
    p.index = r.u32();
    p.length = r.u32();
    p.data = r.raw(p.length);
    const std::string pad = r.raw((4 - p.length % 4) % 4);
    EXPECT_EQ(pad, std::string(pad.size(), '\0')) << p.key;
    return p;
}

std::string le32(uint32_t v) {
    return {char(v & 0xff), char(v >> 8 & 0xff), char(v >> 16 & 0xff), char(v >> 24 & 0xff)};
}

// A string after its length byte.
std::string counted(const std::string& s) {
    return std::string(1, char(s.size())) + s;
}

std::string le16pair(uint16_t a, uint16_t b) {
    return {char(a & 0xff), char(a >> 8), char(b & 0xff), char(b >> 8)};
}

TEST(HostPipl, ResourceBytesHoldEveryPropertyInOrder) {
    Reader r(readFile(kDir + "Tessaron_Pro.pipl"));
    EXPECT_EQ(r.u16(), 1u);
    EXPECT_EQ(r.u32(), 0u);
    ASSERT_EQ(r.u32(), 12u);
    const std::string nul2(2, '\0');
    // Keys and the kind code are stored byte-reversed, as little-endian integers.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"dnik", "TKFe"},
        {"eman", counted("Tessaron (Pro)" + nul2)},
        {"gtac", counted("Brannoquistelle")},
        {"4668", std::string("EntryPointFunc") + '\0'},
        {"RVPe", le16pair(2, 0)},
        {"RVSe", le16pair(13, 1)},
        {"REVe", le32(0x00080601)},
        {"FNIe", std::string(2, '\0')},
        {"OLGe", le32(0x02008000)},
        {"2LGe", le32(0x00001400)},
        {"ANMe", counted("QV Tessaron (Pro)" + nul2)},
        {"LFea", le32(8)},
    };
    for (const auto& [key, data] : expected) {
        SCOPED_TRACE(key);
        const Property p = readProperty(r);
        EXPECT_EQ(p.vendor, "MIB8");
        EXPECT_EQ(p.key, key);
        EXPECT_EQ(p.index, 0u);
        EXPECT_EQ(p.length, data.size());
        EXPECT_EQ(p.data, data);
        EXPECT_EQ(r.pos() % 2, 0u);
    }
    EXPECT_TRUE(r.atEnd());
}

// The length-prefixed names count their two trailing zero bytes; the code entry is padded to 16.
TEST(HostPipl, StringPropertiesHaveTheirStatedSizes) {
    Reader r(readFile(kDir + "Tessaron_Pro.pipl"));
    r.raw(10);
    readProperty(r);  // kind
    const Property name = readProperty(r);
    EXPECT_EQ(uint8_t(name.data[0]), 16);
    const Property category = readProperty(r);
    EXPECT_EQ(uint8_t(category.data[0]), 15);
    const size_t entryStart = r.pos();
    const Property entry = readProperty(r);
    EXPECT_EQ(entry.length, 15u);
    EXPECT_EQ(r.pos() - entryStart, 16u + 16u);
}

// Decodes the BEGIN ... END body of the script: 16-bit words and strings with octal escapes.
std::string scriptBytes(const std::string& text) {
    const size_t begin = text.find("BEGIN");
    const size_t end = text.rfind("END");
    std::string out;
    for (size_t i = begin + 5; i < end; ++i) {
        const char c = text[i];
        if (c == '"') {
            for (++i; text[i] != '"'; ++i) {
                if (text[i] != '\\') {
                    out += text[i];
                    continue;
                }
                out += char(std::stoi(text.substr(i + 1, 3), nullptr, 8));
                i += 3;
            }
        } else if (c == '0' && text[i + 1] == 'x') {
            size_t used = 0;
            const unsigned long w = std::stoul(text.substr(i), &used, 16);
            out += char(w & 0xff);
            out += char(w >> 8 & 0xff);
            i += used - 1;
        }
    }
    return out;
}

TEST(HostPipl, ResourceScriptDeclaresTheSameBytes) {
    const std::string script = readFile(kDir + "Tessaron_Pro_PiPL.rc");
    EXPECT_NE(script.find("LANGUAGE 9, 1\n"), std::string::npos);
    EXPECT_NE(script.find("16000 PiPL DISCARDABLE\nBEGIN\n"), std::string::npos);
    EXPECT_NE(script.find("\"MIB8\""), std::string::npos);
    EXPECT_EQ(script.substr(script.size() - 4), "END\n");
    EXPECT_EQ(scriptBytes(script), readFile(kDir + "Tessaron_Pro.pipl"));
}

// The resource data of type and id in a resource file (resource fork layout); fails the test
// when the map does not hold exactly that one resource.
std::string resourceData(const std::string& file, const std::string& type, uint32_t id) {
    Reader r(file, true);
    const uint32_t dataOffset = r.u32(), mapOffset = r.u32(), dataLength = r.u32();
    const uint32_t mapLength = r.u32();
    EXPECT_EQ(mapOffset + mapLength, file.size());
    r.seek(mapOffset + 24);
    const uint32_t typeList = mapOffset + r.u16();
    r.seek(typeList);
    EXPECT_EQ(r.u16(), 0u);  // one type
    EXPECT_EQ(r.raw(4), type);
    EXPECT_EQ(r.u16(), 0u);  // one resource of it
    r.seek(typeList + r.u16());
    EXPECT_EQ(r.u16(), id);
    EXPECT_EQ(r.u16(), 0xffffu);  // no name
    r.raw(1);
    const uint32_t at = dataOffset + r.u24();
    r.seek(at);
    const uint32_t length = r.u32();
    EXPECT_EQ(at + 4 + length, dataOffset + dataLength);
    return r.raw(length);
}

// The macOS property list holds the Windows one's properties, big-endian, with the 64-bit
// Intel code entry as a length-prefixed string in place of the Windows x64 C string.
TEST(HostPipl, MacResourceFileHoldsTheSamePropertiesBigEndian) {
    Reader mac(resourceData(readFile(kDir + "Tessaron_Pro.rsrc"), "PiPL", 16000), true);
    Reader win(readFile(kDir + "Tessaron_Pro.pipl"));
    win.u16();
    EXPECT_EQ(mac.u32(), win.u32());
    const uint32_t count = mac.u32();
    ASSERT_EQ(count, win.u32());
    for (uint32_t i = 0; i < count; ++i) {
        const Property m = readProperty(mac), w = readProperty(win);
        SCOPED_TRACE(m.key);
        EXPECT_EQ(m.vendor, "8BIM");
        EXPECT_EQ(m.key, std::string(w.key.rbegin(), w.key.rend()) == "8664"
                             ? "mi64"
                             : std::string(w.key.rbegin(), w.key.rend()));
        if (m.key == "mi64") {
            EXPECT_EQ(m.data, counted("EntryPointFunc"));
        } else if (m.key == "ePVR" || m.key == "eSVR") {  // two words
            EXPECT_EQ(m.data, std::string({w.data[1], w.data[0], w.data[3], w.data[2]}));
        } else if (m.length == 4) {  // one integer or code
            EXPECT_EQ(std::string(m.data.rbegin(), m.data.rend()), w.data);
        } else {
            EXPECT_EQ(m.data, w.data);  // strings and the info word of zeros
        }
    }
    EXPECT_TRUE(mac.atEnd());
}

}  // namespace
