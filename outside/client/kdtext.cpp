// Locale set-up of the C interface. The locale comes from the environment
// (LC_ALL, LC_CTYPE, LANG); text at the interface is UTF-8 whatever it says.
#include "kdtext.h"

#include <atomic>
#include <cstdlib>
#include <string>

#include "outside/client/errors.h"
#include "outside/client/names.h"

using namespace outside::client;

namespace {

std::atomic<bool> g_tablesLoaded{false};
constexpr uint32_t kUtf8CodePage = 65001;

std::string localeName() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"})
        if (const char* value = std::getenv(name); value && *value) return value;
    return "C";
}

// The telephone country code of a territory ("de_DE" -> 49); 1 for the
// territories not listed and for a locale without one.
uint32_t countryCode(const std::string& territory) {
    static const std::pair<const char*, uint32_t> codes[] = {
        {"US", 1},  {"CA", 1},   {"GB", 44}, {"DE", 49},  {"AT", 43},  {"CH", 41}, {"FR", 33},
        {"BE", 32}, {"NL", 31},  {"IT", 39}, {"ES", 34},  {"PT", 351}, {"SE", 46}, {"NO", 47},
        {"DK", 45}, {"FI", 358}, {"PL", 48}, {"CZ", 420}, {"JP", 81},  {"AU", 61}};
    for (const auto& [name, code] : codes)
        if (territory == name) return code;
    return 1;
}

}  // namespace

extern "C" {

KDRESULT kdtext_locale_info(KDLocaleInfo* info) {
    return guarded([&] {
        if (!info) throw ClientError(KD_ERR_INVALID_PARAMETER, "no place for the locale");
        // language[_TERRITORY][.codeset][@modifier]
        std::string name = localeName();
        name = name.substr(0, name.find('@'));
        const auto dot = name.find('.');
        const std::string codeSet = dot == std::string::npos ? "" : name.substr(dot + 1);
        name = name.substr(0, dot);
        const auto underscore = name.find('_');
        std::string language = name.substr(0, underscore);
        if (language == "C" || language == "POSIX") language = "en";
        KDLocaleInfo result{};
        result.country =
            underscore == std::string::npos ? 1 : countryCode(name.substr(underscore + 1));
        copyOut(language.substr(0, sizeof result.language - 1), result.language,
                sizeof result.language);
        copyOut(codeSet.empty() ? "UTF-8" : codeSet.substr(0, sizeof result.codeSetName - 1),
                result.codeSetName, sizeof result.codeSetName);
        *info = result;
    });
}

KDRESULT kdtext_code_page(const KDLocaleInfo* info, uint32_t* codePage) {
    return guarded([&] {
        if (!info || !codePage)
            throw ClientError(KD_ERR_INVALID_PARAMETER, "no locale or no place for the code page");
        *codePage = kUtf8CodePage;
    });
}

KDRESULT kdtext_load_tables(uint32_t country, uint32_t codePage) {
    return guarded([&] {
        (void)country;
        if (codePage != kUtf8CodePage)
            throw ClientError(KD_ERR_INVALID_PARAMETER, "code page " + std::to_string(codePage) +
                                                            " has no tables here (only UTF-8)");
        if (g_tablesLoaded.exchange(true))
            throw ClientError(KD_ERR_TABLES_LOADED, "the locale tables are loaded already");
    });
}

KDRESULT kdtext_free_tables(void) {
    return guarded([&] { g_tablesLoaded = false; });
}

}  // extern "C"
