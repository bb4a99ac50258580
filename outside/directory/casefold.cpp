// Unicode-aware case folding for names and the "*" pattern match on top of it.
// The mapping is the C library's, through an explicit UTF-8 locale object, so
// the process-wide locale (usually "C") does not matter.
#include "outside/directory/casefold.h"

#include <locale.h>
#include <clocale>
#include <cstdint>
#include <cwctype>

namespace outside::directory {
namespace {

locale_t utf8Locale() {
    static const locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
        if (!l) l = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", locale_t{});
        return l;
    }();
    return loc;
}

char32_t foldCodePoint(char32_t c) {
    if (const locale_t loc = utf8Locale()) {
        // Upper then lower also joins variant lower-case forms (final sigma,
        // long s) with their ordinary letter.
        const auto upper = towupper_l(static_cast<wint_t>(c), loc);
        return static_cast<char32_t>(towlower_l(upper, loc));
    }
    // Without a UTF-8 locale: at least Latin-1.
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
    return c;
}

void appendUtf8(std::string& out, char32_t c) {
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

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when the
// bytes there are not well-formed UTF-8.
std::size_t decodeUtf8(std::string_view text, std::size_t i, char32_t& c) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    std::size_t len;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, c = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > text.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return len;
}

}  // namespace

void appendFolded(std::string& out, std::string_view text) {
    out.reserve(out.size() + text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            out.push_back(static_cast<char>(b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b));
            ++i;
            continue;
        }
        char32_t c;
        std::size_t len = decodeUtf8(text, i, c);
        if (len == 0) {
            c = b;  // a stray byte: take it as Latin-1
            len = 1;
        }
        appendUtf8(out, foldCodePoint(c));
        i += len;
    }
}

std::string foldCase(std::string_view text) {
    std::string out;
    appendFolded(out, text);
    return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return foldCase(a) == foldCase(b);
}

bool matchesPattern(std::string_view pattern, std::string_view name) {
    // Greedy match with one backtrack point: the last "*" seen.
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p, ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace outside::directory
