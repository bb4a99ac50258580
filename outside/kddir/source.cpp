// The control's configuration in the environment and the registry.
#include "outside/kddir/source.h"

#include <cstdlib>

#include "platform/registry/numbers.h"
#include "platform/registry/store.h"
#include "platform/text/casefold.h"

namespace outside::kddir {

namespace {

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<std::string> registryValue(const char* name) {
    try {
        platform::registry::Store store;
        return store.value(kSourceKey, name);
    } catch (const platform::registry::RegistryError&) {
        return std::nullopt;
    }
}

}  // namespace

std::string configuredSource() {
    if (const char* env = std::getenv("KDDIR_SOURCE"); env && *env) return env;
    return registryValue(kSourceValue).value_or("");
}

ConfiguredMapping configuredMapping() {
    if (const char* env = std::getenv("KDDIR_MAPPING"); env && !trimBlanks(env).empty())
        return {std::string(trimBlanks(env)), "KDDIR_MAPPING"};
    if (auto stored = registryValue(kMappingValue); stored && !trimBlanks(*stored).empty())
        return {std::string(trimBlanks(*stored)),
                "the registry value " + std::string(kSourceKey) + "\\" + kMappingValue};
    return {"auto", "default"};
}

SourceLimits configuredLimits() {
    SourceLimits out;
    out.limits.mapping.value = configuredMapping().value;
    out.limits.limitName =
        "set by the registry value " + std::string(kSourceKey) + "\\" + kMaxSourceBytesValue;
    const auto stored = registryValue(kMaxSourceBytesValue);
    if (!stored) return out;
    const auto bytes = platform::registry::wholeNumber<std::uint64_t>(trimBlanks(*stored));
    if (bytes && *bytes > 0) {
        out.limits.maxSourceBytes = *bytes;
    } else {
        out.ignoredValue = *stored;
    }
    return out;
}

outside::directory::SourceOptions configuredOptions() {
    outside::directory::SourceOptions options;
    options.limits = configuredLimits().limits;
    options.credentials.bindDn = registryValue(kBindDnValue).value_or("");
    options.credentials.password = registryValue(kBindPasswordValue).value_or("");
    const std::string startTls =
        platform::text::foldCase(trimBlanks(registryValue(kStartTlsValue).value_or("")));
    options.startTls = startTls == "1" || startTls == "true" || startTls == "yes";
    options.caCertificateFile =
        std::string(trimBlanks(registryValue(kCaCertificateValue).value_or("")));
    const auto seconds = platform::registry::wholeNumber<std::uint32_t>(
        trimBlanks(registryValue(kTimeoutValue).value_or("")));
    if (seconds && *seconds > 0) options.timeout = std::chrono::seconds(*seconds);
    options.treeName = std::string(trimBlanks(registryValue(kTreeNameValue).value_or("")));
    return options;
}

}  // namespace outside::kddir
