// Simple case folding of UTF-8 text.
#include "platform/text/casefold.h"

namespace platform::text {
namespace {

char32_t foldCodePoint(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;  // Latin-1
    if (c >= 0x100 && c <= 0x17F) {                            // Latin Extended-A
        if (c == 0x130) return 'i';
        if (c == 0x178) return 0xFF;
        const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddPairs) return (c % 2 == 1) ? c + 1 : c;
        if (c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;  // Greek
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;                // Cyrillic
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

// Decodes one code point at text[i]; advances i. Invalid bytes decode as
// themselves with the high bit marking them (kept verbatim on output).
bool decode(std::string_view text, std::size_t& i, char32_t& out) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        out = b0;
        ++i;
        return true;
    }
    int length = 0;
    char32_t c = 0;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2;
        c = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        c = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4;
        c = b0 & 0x07;
    } else {
        ++i;
        return false;
    }
    if (i + length > text.size()) {
        ++i;
        return false;
    }
    for (int k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        c = (c << 6) | (b & 0x3F);
    }
    i += length;
    out = c;
    return true;
}

void encode(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

void appendFolded(std::string& out, std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        // A run of ASCII (most text is one) is folded in one go.
        std::size_t end = i;
        while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80) ++end;
        if (end > i) {
            const std::size_t at = out.size();
            out.resize(at + (end - i));
            char* into = out.data() + at;
            for (; i < end; ++i, ++into) {
                const auto b = static_cast<unsigned char>(text[i]);
                *into = static_cast<char>((b >= 'A' && b <= 'Z') ? b + 0x20 : b);
            }
            continue;
        }
        const std::size_t start = i;
        char32_t c = 0;
        if (decode(text, i, c))
            encode(out, foldCodePoint(c));
        else
            out.append(text.substr(start, i - start));
    }
}

std::string foldCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendFolded(out, text);
    return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() == b.size()) {
        bool ascii = true;
        for (std::size_t i = 0; i < a.size(); ++i) {
            auto x = static_cast<unsigned char>(a[i]);
            auto y = static_cast<unsigned char>(b[i]);
            if ((x | y) & 0x80) {
                ascii = false;
                break;
            }
            if (x >= 'A' && x <= 'Z') x += 0x20;
            if (y >= 'A' && y <= 'Z') y += 0x20;
            if (x != y) return false;
        }
        if (ascii) return true;
    }
    return foldCase(a) == foldCase(b);
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    const std::string folded = foldCase(text);
    return std::string_view(folded).starts_with(foldCase(prefix));
}

std::size_t findIgnoringCase(std::string_view text, std::string_view needle) {
    const std::string t = foldCase(text);
    const std::string n = foldCase(needle);
    if (t.size() == text.size()) return t.find(n);
    // Folding changed byte lengths (rare): map the folded offset back.
    const std::size_t at = t.find(n);
    if (at == std::string::npos) return at;
    std::string prefix;
    std::size_t i = 0;
    while (i < text.size() && prefix.size() < at) {
        std::size_t next = i + 1;
        while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80)
            ++next;
        appendFolded(prefix, text.substr(i, next - i));
        i = next;
    }
    return i;
}

std::size_t utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    return length;
}

bool isUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8Length(text, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

}  // namespace platform::text
