// Component registration keys in the store.
#include "platform/registry/registration.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <stdexcept>

#include "platform/registry/numbers.h"
#include "platform/text/casefold.h"

namespace platform::registry {

namespace {

constexpr std::string_view kClasses = "Classes\\";

std::string join(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view p : parts) {
        if (!out.empty()) out += '\\';
        out += p;
    }
    return out;
}

std::string clsidKey(std::string_view clsid) {
    return join({"Classes\\CLSID", clsid});
}
std::string progIdKey(std::string_view progId) {
    return std::string(kClasses) + std::string(progId);
}
std::string categoryKey(std::string_view catid) {
    return join({"Classes\\Component Categories", catid});
}
std::string interfaceKey(std::string_view iid) {
    return join({"Classes\\Interface", iid});
}
std::string typeLibRoot(std::string_view guid) {
    return join({"Classes\\TypeLib", guid});
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string hex(std::uint32_t value) {
    char buffer[16];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
    (void)ec;
    return std::string(buffer, end);
}

std::string guidArg(std::string_view guid, const char* what) {
    if (!isGuid(guid))
        throw std::invalid_argument(std::string(what) + " is not a GUID: '" + std::string(guid) +
                                    "'");
    return upper(guid);
}

// A ProgID names a key of its own directly below Classes: it must not be
// able to reach into another key, nor collide with the fixed ones.
bool validProgId(std::string_view progId) {
    if (progId.empty() || progId.size() > 255) return false;
    if (progId.find('\\') != std::string_view::npos) return false;
    if (progId.front() == '{') return false;
    for (std::string_view reserved : {"CLSID", "TypeLib", "Interface", "Component Categories"})
        if (text::equalsIgnoringCase(progId, reserved)) return false;
    return std::all_of(progId.begin(), progId.end(),
                       [](unsigned char c) { return c > ' ' && c != 0x7f; });
}

std::string progIdArg(std::string_view progId) {
    if (!validProgId(progId))
        throw std::invalid_argument("not a valid ProgID: '" + std::string(progId) + "'");
    return std::string(progId);
}

std::string versionArg(std::string_view version) {
    const auto dot = version.find('.');
    const auto digits = [](std::string_view s) {
        return !s.empty() && s.size() <= 5 &&
               std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
    };
    if (dot == std::string_view::npos || !digits(version.substr(0, dot)) ||
        !digits(version.substr(dot + 1)))
        throw std::invalid_argument("not a version (major.minor): '" + std::string(version) + "'");
    return std::string(version);
}

}  // namespace

long Registration::versionOrder(std::string_view version) {
    try {
        versionArg(version);
    } catch (const std::invalid_argument&) {
        return -1;
    }
    const auto dot = version.find('.');
    long major = 0, minor = 0;
    std::from_chars(version.data(), version.data() + dot, major);
    std::from_chars(version.data() + dot + 1, version.data() + version.size(), minor);
    return major * 65536 + minor;
}

namespace {

std::optional<std::uint32_t> parseNumber(const std::optional<std::string>& text, int base = 10) {
    return text ? wholeNumber<std::uint32_t>(*text, base) : std::nullopt;
}

// The value names of version information, in the order they are written.
struct VersionField {
    const char* name;
    std::string VersionInfo::*field;
};
constexpr VersionField kVersionFields[] = {
    {"FileVersion", &VersionInfo::fileVersion},
    {"ProductVersion", &VersionInfo::productVersion},
    {"FileDescription", &VersionInfo::fileDescription},
    {"ProductName", &VersionInfo::productName},
    {"InternalName", &VersionInfo::internalName},
    {"OriginalFilename", &VersionInfo::originalFilename},
};

std::string translation(const VersionInfo& info) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04X%04X", info.language, info.codePage);
    return buffer;
}

std::optional<VersionInfo> readVersionInfo(const Store& store, const std::string& key) {
    if (!store.keyExists(key)) return std::nullopt;
    VersionInfo info;
    for (const VersionField& f : kVersionFields)
        info.*f.field = store.value(key, f.name).value_or("");
    const std::string both = store.value(key, "Translation").value_or("");
    if (const auto number = parseNumber(both, 16); number && both.size() == 8) {
        info.language = static_cast<std::uint16_t>(*number >> 16);
        info.codePage = static_cast<std::uint16_t>(*number & 0xFFFF);
    }
    return info;
}

}  // namespace

bool isGuid(std::string_view text) {
    constexpr std::string_view shape = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (text.size() != shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (shape[i] == 'X' ? !std::isxdigit(c) : c != static_cast<unsigned char>(shape[i]))
            return false;
    }
    return true;
}

void Registration::removeClassKeys(const std::string& key, std::string_view clsid) {
    for (const char* sub : {"ProgID", "VersionIndependentProgID"}) {
        const auto progId = store_.value(key + "\\" + sub, "");
        if (!progId || !validProgId(*progId)) continue;
        const auto owner = store_.value(progIdKey(*progId) + "\\CLSID", "");
        if (owner && text::equalsIgnoringCase(*owner, clsid)) store_.deleteKey(progIdKey(*progId));
    }
    store_.deleteKey(key);
}

void Registration::registerClass(const ClassRegistration& reg) {
    const std::string clsid = guidArg(reg.clsid, "CLSID");
    const std::string progId = reg.progId.empty() ? std::string() : progIdArg(reg.progId);
    const std::string viProgId = reg.versionIndependentProgId.empty()
                                     ? std::string()
                                     : progIdArg(reg.versionIndependentProgId);
    const std::string typeLib =
        reg.typeLibrary.empty() ? std::string() : guidArg(reg.typeLibrary, "type library");
    if (!reg.version.empty()) versionArg(reg.version);
    std::vector<std::string> implemented, required;
    for (const auto& c : reg.implementedCategories) implemented.push_back(guidArg(c, "category"));
    for (const auto& c : reg.requiredCategories) required.push_back(guidArg(c, "category"));

    const std::string key = clsidKey(clsid);
    store_.atomically([&] {
        removeClassKeys(key, clsid);
        store_.setValue(key, "", reg.name);
        if (!progId.empty()) {
            store_.setValue(key + "\\ProgID", "", progId);
            store_.setValue(progIdKey(progId), "", reg.name);
            store_.setValue(progIdKey(progId) + "\\CLSID", "", clsid);
            if (reg.insertable) store_.createKey(progIdKey(progId) + "\\Insertable");
        }
        if (!viProgId.empty()) {
            store_.setValue(key + "\\VersionIndependentProgID", "", viProgId);
            store_.setValue(progIdKey(viProgId), "", reg.name);
            store_.setValue(progIdKey(viProgId) + "\\CLSID", "", clsid);
            if (!progId.empty()) store_.setValue(progIdKey(viProgId) + "\\CurVer", "", progId);
        }
        if (!reg.serverPath.empty()) {
            store_.setValue(key + "\\InprocServer32", "", reg.serverPath);
            if (!reg.threadingModel.empty())
                store_.setValue(key + "\\InprocServer32", "ThreadingModel", reg.threadingModel);
        }
        if (!typeLib.empty()) store_.setValue(key + "\\TypeLib", "", typeLib);
        if (!reg.version.empty()) store_.setValue(key + "\\Version", "", reg.version);
        if (reg.control) store_.createKey(key + "\\Control");
        if (reg.insertable) store_.createKey(key + "\\Insertable");
        if (reg.miscStatus)
            store_.setValue(key + "\\MiscStatus", "", std::to_string(*reg.miscStatus));
        if (!reg.toolboxBitmap.empty())
            store_.setValue(key + "\\ToolboxBitmap32", "", reg.toolboxBitmap);
        for (const auto& c : implemented) store_.createKey(key + "\\Implemented Categories\\" + c);
        for (const auto& c : required) store_.createKey(key + "\\Required Categories\\" + c);
        if (reg.versionInfo) {
            const std::string info = key + "\\VersionInfo";
            for (const VersionField& f : kVersionFields)
                store_.setValue(info, f.name, (*reg.versionInfo).*f.field);
            store_.setValue(info, "Translation", translation(*reg.versionInfo));
        }
    });
}

bool Registration::unregisterClass(std::string_view clsid) {
    const std::string key = clsidKey(guidArg(clsid, "CLSID"));
    bool existed = false;
    store_.atomically([&] {
        existed = store_.keyExists(key);
        if (existed) removeClassKeys(key, clsid);
    });
    return existed;
}

std::optional<ClassRegistration> Registration::findClass(std::string_view clsid) const {
    if (!isGuid(clsid)) return std::nullopt;
    const std::string key = clsidKey(clsid);
    if (!store_.keyExists(key)) return std::nullopt;
    ClassRegistration reg;
    reg.clsid = upper(clsid);
    reg.name = store_.value(key, "").value_or("");
    reg.progId = store_.value(key + "\\ProgID", "").value_or("");
    reg.versionIndependentProgId =
        store_.value(key + "\\VersionIndependentProgID", "").value_or("");
    reg.serverPath = store_.value(key + "\\InprocServer32", "").value_or("");
    reg.threadingModel = store_.value(key + "\\InprocServer32", "ThreadingModel").value_or("");
    reg.typeLibrary = store_.value(key + "\\TypeLib", "").value_or("");
    reg.version = store_.value(key + "\\Version", "").value_or("");
    reg.control = store_.keyExists(key + "\\Control");
    reg.insertable = store_.keyExists(key + "\\Insertable");
    reg.miscStatus = parseNumber(store_.value(key + "\\MiscStatus", ""));
    reg.toolboxBitmap = store_.value(key + "\\ToolboxBitmap32", "").value_or("");
    reg.implementedCategories = store_.subkeys(key + "\\Implemented Categories");
    reg.requiredCategories = store_.subkeys(key + "\\Required Categories");
    reg.versionInfo = readVersionInfo(store_, key + "\\VersionInfo");
    return reg;
}

std::optional<std::string> Registration::clsidFromProgId(std::string_view progId) const {
    if (!validProgId(progId)) return std::nullopt;
    if (auto clsid = store_.value(progIdKey(progId) + "\\CLSID", ""); clsid && isGuid(*clsid))
        return clsid;
    // A version-independent name without its own CLSID follows its current version.
    if (auto current = store_.value(progIdKey(progId) + "\\CurVer", "");
        current && validProgId(*current) && !text::equalsIgnoringCase(*current, progId))
        if (auto clsid = store_.value(progIdKey(*current) + "\\CLSID", ""); clsid && isGuid(*clsid))
            return clsid;
    return std::nullopt;
}

std::optional<std::string> Registration::progIdFromClsid(std::string_view clsid) const {
    if (!isGuid(clsid)) return std::nullopt;
    return store_.value(clsidKey(clsid) + "\\ProgID", "");
}

std::optional<std::string> Registration::inprocServer(std::string_view clsid) const {
    if (!isGuid(clsid)) return std::nullopt;
    return store_.value(clsidKey(clsid) + "\\InprocServer32", "");
}

void Registration::registerCategory(std::string_view catid, std::string_view description,
                                    std::uint32_t locale) {
    const std::string key = categoryKey(guidArg(catid, "category"));
    store_.atomically([&] {
        if (!store_.value(key, hex(locale))) store_.setValue(key, hex(locale), description);
    });
}

std::optional<std::string> Registration::categoryDescription(std::string_view catid,
                                                             std::uint32_t locale) const {
    if (!isGuid(catid)) return std::nullopt;
    return store_.value(categoryKey(catid), hex(locale));
}

std::string Registration::typeLibraryKey(std::string_view guid, std::string_view version) {
    return join({typeLibRoot(guid), version});
}

void Registration::registerTypeLibrary(const TypeLibraryRegistration& reg) {
    const std::string guid = guidArg(reg.guid, "type library");
    const std::string key = typeLibraryKey(guid, versionArg(reg.version));
    store_.atomically([&] {
        store_.deleteKey(key);
        store_.setValue(key, "", reg.name);
        store_.setValue(key + "\\FLAGS", "", std::to_string(reg.flags));
        store_.setValue(key + "\\HELPDIR", "", reg.helpDir);
        store_.setValue(key + "\\" + hex(reg.locale), "", reg.path);
    });
}

bool Registration::unregisterTypeLibrary(std::string_view guid, std::string_view version) {
    const std::string libid = guidArg(guid, "type library");
    const std::string key = typeLibraryKey(libid, versionArg(version));
    bool existed = false;
    store_.atomically([&] {
        existed = store_.keyExists(key);
        store_.deleteKey(key);
        if (!store_.subkeys(typeLibRoot(libid)).empty()) return;
        store_.deleteKey(typeLibRoot(libid));
        for (const auto& iid : store_.subkeys("Classes\\Interface")) {
            const auto owner = store_.value(interfaceKey(iid) + "\\TypeLib", "");
            if (owner && text::equalsIgnoringCase(*owner, libid))
                store_.deleteKey(interfaceKey(iid));
        }
    });
    return existed;
}

std::optional<TypeLibraryRegistration> Registration::findTypeLibrary(
    std::string_view guid, std::string_view version) const {
    if (!isGuid(guid)) return std::nullopt;
    std::string chosen;
    if (version.empty()) {
        long best = -1;
        for (const auto& v : store_.subkeys(typeLibRoot(guid)))
            if (versionOrder(v) > best) best = versionOrder(v), chosen = v;
        if (chosen.empty()) return std::nullopt;
    } else {
        if (versionOrder(version) < 0) return std::nullopt;
        chosen = version;
    }
    const std::string key = typeLibraryKey(guid, chosen);
    if (!store_.keyExists(key)) return std::nullopt;
    TypeLibraryRegistration reg;
    reg.guid = upper(guid);
    reg.version = chosen;
    reg.name = store_.value(key, "").value_or("");
    reg.flags = parseNumber(store_.value(key + "\\FLAGS", "")).value_or(0);
    reg.helpDir = store_.value(key + "\\HELPDIR", "").value_or("");
    for (const auto& sub : store_.subkeys(key))
        if (auto locale = parseNumber(std::optional<std::string>(sub), 16)) {
            reg.locale = *locale;
            reg.path = store_.value(key + "\\" + sub, "").value_or("");
            break;
        }
    return reg;
}

void Registration::registerInterface(std::string_view iid, std::string_view name,
                                     std::string_view typeLibrary, std::string_view version) {
    const std::string key = interfaceKey(guidArg(iid, "interface"));
    const std::string libid = guidArg(typeLibrary, "type library");
    const std::string ver = versionArg(version);
    store_.atomically([&] {
        store_.deleteKey(key);
        store_.setValue(key, "", name);
        store_.setValue(key + "\\TypeLib", "", libid);
        store_.setValue(key + "\\TypeLib", "Version", ver);
    });
}

}  // namespace platform::registry
