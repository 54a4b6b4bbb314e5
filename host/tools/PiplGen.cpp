// Writes the effect's property list into the folder given on the command line: for Windows as
// the resource bytes (Tessaron_Pro.pipl) and as resource-script text (Tessaron_Pro_PiPL.rc), for
// macOS as a resource file holding resource 'PiPL' 16000 (Tessaron_Pro.rsrc).
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

enum class Target { Windows, Mac };

// The code entry: a C string for Windows x64, a length-prefixed string for 64-bit Intel macOS.
Property codeEntry(Target target) {
    if (target == Target::Mac) return {"mi64", {pascal(identity::kEntryPointName)}};
    return {"8664", {bytes(std::string(identity::kEntryPointName) + '\0')}};
}

std::vector<Property> properties(Target target) {
    using namespace identity;
    const std::string twoNuls(2, '\0');
    return {
        {"kind", {code("eFKT")}},
        {"name", {pascal(kName + twoNuls)}},
        {"catg", {pascal(kCategory)}},
        codeEntry(target),
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
// The Windows resource compiler's form starts with a word 1 before the version.
std::vector<Piece> resource(Target target) {
    const std::vector<Property> props = properties(target);
    std::vector<Piece> out;
    if (target == Target::Windows) out.push_back(word(1));
    out.insert(out.end(), {longint(0), longint(uint32_t(props.size()))});
    for (const Property& p : props) {
        const size_t size = dataSize(p);
        out.insert(out.end(), {code("8BIM"), code(p.key), longint(0), longint(uint32_t(size))});
        out.insert(out.end(), p.data.begin(), p.data.end());
        if (size % 4) out.push_back(bytes(std::string(4 - size % 4, '\0')));
    }
    return out;
}

std::string bigEndian(uint32_t v, int size) {
    std::string s;
    for (int i = size - 1; i >= 0; --i) s += char(v >> (8 * i) & 0xff);
    return s;
}

// Windows: little-endian integers, codes stored byte-reversed as a little-endian integer holds
// them. macOS resources are big-endian: codes read as written.
std::string serialize(const Piece& p, Target target = Target::Windows) {
    const bool little = target == Target::Windows;
    std::string s;
    switch (p.kind) {
        case Piece::Word:
            s = bigEndian(p.value, 2);
            break;
        case Piece::Long:
            s = bigEndian(p.value, 4);
            break;
        case Piece::Code:
            s = p.bytes;
            break;
        default:
            return p.bytes;
    }
    return little ? std::string(s.rbegin(), s.rend()) : s;
}

// A resource file (the resource fork layout, in the data fork) holding one resource of the
// given type and id: header, the data with its length, then the map with one type and one
// reference and no names.
std::string resourceFile(const std::string& type, uint16_t id, const std::string& data) {
    const uint32_t dataOffset = 256, dataLength = uint32_t(4 + data.size());
    const uint32_t mapOffset = dataOffset + dataLength, mapLength = 28 + 2 + 8 + 12;
    const std::string header = bigEndian(dataOffset, 4) + bigEndian(mapOffset, 4) +
                               bigEndian(dataLength, 4) + bigEndian(mapLength, 4);
    std::string file = header + std::string(dataOffset - header.size(), '\0');
    file += bigEndian(uint32_t(data.size()), 4) + data;
    file += header + std::string(4 + 2 + 2, '\0');       // reserved handle, file ref, attributes
    file += bigEndian(28, 2) + bigEndian(mapLength, 2);  // type list, name list (empty)
    file += bigEndian(0, 2) + type + bigEndian(0, 2) + bigEndian(10, 2);  // one type, one entry
    file += bigEndian(id, 2) + bigEndian(0xffff, 2) + std::string(1, '\0') + bigEndian(0, 3) +
            std::string(4, '\0');  // id, no name, attributes, data at 0, reserved
    return file;
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
    const std::vector<Piece> pieces = resource(Target::Windows);
    std::string raw, mac;
    for (const Piece& p : pieces) raw += serialize(p);
    for (const Piece& p : resource(Target::Mac)) mac += serialize(p, Target::Mac);
    if (!writeFile(dir + "/Tessaron_Pro.pipl", raw) ||
        !writeFile(dir + "/Tessaron_Pro_PiPL.rc", scriptText(pieces)) ||
        !writeFile(dir + "/Tessaron_Pro.rsrc",
                   resourceFile("PiPL", uint16_t(identity::kPiplResourceId), mac))) {
        std::cerr << "pipl_gen: cannot write into " << dir << "\n";
        return 1;
    }
    return 0;
}
