// Registry values read back as numbers, on any stored text: the store gives
// back exactly the bytes it was given, and each reader either finds a number
// it could have written itself or falls back to its default: whole numbers
// (component registration, the directory control's size limit) and tvn's
// measures and option values.
#include <QString>
#include <cmath>
#include <cstdint>
#include <string>

#include "app/shell/RegistrySettings.h"
#include "fuzzcheck.h"
#include "platform/registry/numbers.h"
#include "platform/registry/store.h"

using platform::registry::wholeNumber;

namespace {

// The text without its leading zeros (but one "0" for zero).
std::string_view withoutLeadingZeros(std::string_view text) {
    const auto first = text.find_first_not_of('0');
    return first == std::string_view::npos ? text.substr(text.size() - 1) : text.substr(first);
}

std::string lowerHex(std::uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static platform::registry::Store store(fuzzcheck::scratchDir() / "registry.db");
    const std::string written(reinterpret_cast<const char*>(data), size);
    store.setValue("Software\\Tolvane\\Fuzz", "Value", written);
    const std::optional<std::string> stored = store.value("Software\\Tolvane\\Fuzz", "Value");
    FUZZ_CHECK(stored && *stored == written);
    const std::string& text = *stored;

    if (const auto decimal = wholeNumber<std::uint64_t>(text))
        FUZZ_CHECK(std::to_string(*decimal) == withoutLeadingZeros(text), "%s\n", text.c_str());
    if (const auto hex = wholeNumber<std::uint32_t>(text, 16)) {
        std::string lower(withoutLeadingZeros(text));
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        FUZZ_CHECK(lowerHex(*hex) == lower, "%s\n", text.c_str());
    }

    const QString qtext = QString::fromStdString(text);
    for (const double minimum : {-1e6, 0.0}) {
        const double measure = tvn::RegistrySettings::storedMeasure(qtext, 1000, minimum);
        FUZZ_CHECK(std::isfinite(measure) && measure >= minimum && std::fabs(measure) <= 1e6);
    }
    for (const int defaultValue : {0, 1}) {
        const int option = tvn::RegistrySettings::storedZeroOrOne(qtext, defaultValue);
        FUZZ_CHECK(option == 0 || option == 1);
    }
    return 0;
}
