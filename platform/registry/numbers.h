// Whole numbers kept as text in the store ("2147483648", "ff" in base 16):
// digits only, without sign, blanks or anything after them, and within the
// range of the type. Anything else is no number, so that a damaged value
// makes the caller use its default rather than a part of the text.
#pragma once

#include <charconv>
#include <concepts>
#include <optional>
#include <string_view>

namespace platform::registry {

template <std::unsigned_integral T>
std::optional<T> wholeNumber(std::string_view text, int base = 10) {
    T value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

}  // namespace platform::registry
