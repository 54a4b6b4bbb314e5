// Writes the effect's property list as the Windows resource bytes (Tessaron_Pro.pipl) and as
// resource-script text (Tessaron_Pro_PiPL.rc) into the folder given on the command line.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "host/Identity.h"

namespace {

// One run of the resource: a 16-bit word, a 32-bit integer, a four-character code, or bytes.
struct Piece {
    enum Kind { Word, Long, Code, Bytes } kind;
    uint32_t value;
    std::string bytes;  // Code: the four characters as written; Bytes: the raw bytes
};

struct Property {
    const char* key;
    std::vector<Piece> data;
};

Piece word(uint32_t v) {
    return {Piece::Word, v, {}};
}
Piece longint(uint32_t v) {
    return {Piece::Long, v, {}};
}
Piece code(const char* c) {
    return {Piece::Code, 0, c};
}
Piece bytes(std::string b) {
    return {Piece::Bytes, 0, std::move(b)};
}

// A string after its length byte.
Piece pascal(const std::string& s) {
    return bytes(std::string(1, char(s.size())) + s);
}

size_t sizeOf(const Piece& p) {
    switch (p.kind) {
        case Piece::Word:
            return 2;
        case Piece::Long:
        case Piece::Code:
            return 4;
        default:
            return p.bytes.size();
    }
}

size_t dataSize(const Property& p) {
    size_t n = 0;
    for (const Piece& piece : p.data) n += sizeOf(piece);
    return n;
}

std::vector<Property> properties() {
    using namespace identity;
    const std::string twoNuls(2, '\0');
    return {
        {"kind", {code("eFKT")}},
        {"name", {pascal(kName + twoNuls)}},
        {"catg", {pascal(kCategory)}},
        {"8664", {bytes(std::string(kEntryPointName) + '\0')}},
        {"ePVR", {word(uint16_t(kPiplVersionMajor)), word(uint16_t(kPiplVersionMinor))}},
        {"eSVR", {word(uint16_t(kMinApiMajor)), word(uint16_t(kMinApiMinor))}},
        {"eVER", {longint(kPackedVersion)}},
        {"eINF", {word(0)}},
        {"eGLO", {longint(uint32_t(kOutFlags))}},
        {"eGL2", {longint(uint32_t(kOutFlags2))}},
        {"eMNA", {pascal(kMatchName + twoNuls)}},
        {"aeFL", {longint(uint32_t(kReservedInfo))}},
    };
}

// The whole resource as pieces: header, then each property with its data padded to 4 bytes.
std::vector<Piece> resource() {
    const std::vector<Property> props = properties();
    std::vector<Piece> out = {word(1), longint(0), longint(uint32_t(props.size()))};
    for (const Property& p : props) {
        const size_t size = dataSize(p);
        out.insert(out.end(), {code("8BIM"), code(p.key), longint(0), longint(uint32_t(size))});
        out.insert(out.end(), p.data.begin(), p.data.end());
        if (size % 4) out.push_back(bytes(std::string(4 - size % 4, '\0')));
    }
    return out;
}

// Little-endian integers; codes stored byte-reversed, as a little-endian integer holds them.
std::string serialize(const Piece& p) {
    switch (p.kind) {
        case Piece::Word:
            return {char(p.value & 0xff), char(p.value >> 8 & 0xff)};
        case Piece::Long:
            return {char(p.value & 0xff), char(p.value >> 8 & 0xff), char(p.value >> 16 & 0xff),
                    char(p.value >> 24 & 0xff)};
        case Piece::Code:
            return std::string(p.bytes.rbegin(), p.bytes.rend());
        default:
            return p.bytes;
    }
}

std::string hexWord(uint32_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04x", unsigned(v & 0xffff));
    return buf;
}

// A resource-script string: printable characters as they are, others as 3-digit octal
// escapes (never longer, so a following digit cannot join them).
std::string quoted(const std::string& raw) {
    std::string s = "\"";
    for (unsigned char c : raw) {
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            s += char(c);
        } else {
            char buf[6];
            std::snprintf(buf, sizeof buf, "\\%03o", unsigned(c));
            s += buf;
        }
    }
    return s + "\"";
}

// Words are 16-bit in a resource script, so a 32-bit integer is its low and high words.
std::string scriptOf(const Piece& p) {
    switch (p.kind) {
        case Piece::Word:
            return hexWord(p.value);
        case Piece::Long:
            return hexWord(p.value) + ", " + hexWord(p.value >> 16);
        default:
            return quoted(serialize(p));
    }
}

std::string scriptText(const std::vector<Piece>& pieces) {
    std::string text = "LANGUAGE " + std::to_string(identity::kPiplLanguage & 0x3ff) + ", " +
                       std::to_string(identity::kPiplLanguage >> 10) + "\n";
    text += std::to_string(identity::kPiplResourceId) + " PiPL DISCARDABLE\nBEGIN\n";
    for (size_t i = 0; i < pieces.size(); ++i) {
        text += "\t" + scriptOf(pieces[i]) + (i + 1 < pieces.size() ? ",\n" : "\n");
    }
    return text + "END\n";
}

bool writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: pipl_gen OUTPUT_DIR\n";
        return 2;
    }
    const std::string dir = argv[1];
    const std::vector<Piece> pieces = resource();
    std::string raw;
    for (const Piece& p : pieces) raw += serialize(p);
    if (!writeFile(dir + "/Tessaron_Pro.pipl", raw) ||
        !writeFile(dir + "/Tessaron_Pro_PiPL.rc", scriptText(pieces))) {
        std::cerr << "pipl_gen: cannot write into " << dir << "\n";
        return 1;
    }
    return 0;
}
