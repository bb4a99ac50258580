// The application settings store on top of the registry store.
#include "platform/registry/settings.h"

namespace platform::registry {

std::string Settings::keyPath(std::string_view application, std::string_view section) {
    std::string path = "Software\\Application Settings\\";
    path += application;
    if (!section.empty()) {
        path += '\\';
        path += section;
    }
    return path;
}

std::string Settings::get(std::string_view application, std::string_view section,
                          std::string_view key, std::string_view defaultValue) const {
    if (auto stored = store_.value(keyPath(application, section), key)) return *stored;
    return std::string(defaultValue);
}

void Settings::save(std::string_view application, std::string_view section, std::string_view key,
                    std::string_view value) {
    store_.setValue(keyPath(application, section), key, value);
}

Settings::Pairs Settings::section(std::string_view application, std::string_view section) const {
    return store_.values(keyPath(application, section));
}

void Settings::deleteSection(std::string_view application, std::string_view section) {
    store_.deleteKey(keyPath(application, section));
}

void Settings::deleteKey(std::string_view application, std::string_view section,
                         std::string_view key) {
    store_.deleteValue(keyPath(application, section), key);
}

}  // namespace platform::registry
