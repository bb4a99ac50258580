// The application settings store: string values addressed by application,
// section and key, as tvn keeps its per-user, per-tree settings. A "\" in a
// section nests it ("Settings\CorpTree"); a key may be any text.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry/store.h"

namespace platform::registry {

class Settings {
public:
    using Pairs = std::vector<std::pair<std::string, std::string>>;

    // Settings live below "Software\Application Settings\<application>" of the store.
    explicit Settings(Store& store) : store_(store) {}

    static std::string keyPath(std::string_view application, std::string_view section);

    std::string get(std::string_view application, std::string_view section, std::string_view key,
                    std::string_view defaultValue = {}) const;
    void save(std::string_view application, std::string_view section, std::string_view key,
              std::string_view value);
    // The section's (key, value) pairs in the order first written; empty when absent.
    Pairs section(std::string_view application, std::string_view section) const;
    void deleteSection(std::string_view application, std::string_view section);
    void deleteKey(std::string_view application, std::string_view section, std::string_view key);

private:
    Store& store_;
};

}  // namespace platform::registry
