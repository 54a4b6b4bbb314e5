#include "sim/model/MessageText.h"

#include <cstdio>

namespace sim {

namespace {

void appendEscaped(std::string& out, unsigned char c) {
    switch (c) {
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default:
            break;
    }
    if (c < 0x20 || c == 0x7f) {
        char code[8];
        std::snprintf(code, sizeof code, "\\x%02x", unsigned(c));
        out += code;
    } else {
        out += char(c);
    }
}

// The largest cut at or below `at` that does not split a UTF-8 sequence.
size_t characterBoundary(const std::string& text, size_t at) {
    while (at > 0 && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xc0) == 0x80)
        --at;
    return at;
}

std::string escaped(const std::string& text, size_t from, size_t to) {
    std::string out;
    for (size_t i = from; i < to; ++i) appendEscaped(out, static_cast<unsigned char>(text[i]));
    return out;
}

}  // namespace

std::string excerpt(const std::string& text, size_t limit) {
    std::string out = escaped(text, 0, text.size());
    if (out.size() <= limit) return out;
    // Escapes take up to four bytes a character: cut the escaped text, never inside an escape.
    std::string cut;
    size_t i = 0;
    for (; i < text.size(); ++i) {
        std::string next;
        appendEscaped(next, static_cast<unsigned char>(text[i]));
        if (cut.size() + next.size() + 3 > limit) break;
        cut += next;
    }
    // Bytes of a character the cut went through are dropped; they were copied unescaped.
    while (i > 0 && i < text.size() && (static_cast<unsigned char>(text[i]) & 0xc0) == 0x80) {
        cut.pop_back();
        --i;
    }
    return cut + "...";
}

std::string oneLine(const std::string& message, size_t limit) {
    std::string out = escaped(message, 0, message.size());
    if (out.size() <= limit) return out;
    const size_t keep = (limit - 5) / 2;
    const size_t head = characterBoundary(out, keep);
    size_t tail = out.size() - keep;
    while (tail < out.size() && (static_cast<unsigned char>(out[tail]) & 0xc0) == 0x80) ++tail;
    return out.substr(0, head) + " ... " + out.substr(tail);
}

}  // namespace sim
