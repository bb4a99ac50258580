// Component registration in the per-user store: classes with their ProgIDs,
// in-process server, threading model and flags; type libraries and their
// interfaces; component categories. Everything lives below "Classes" in the
// layout component hosts expect:
//
//   Classes\CLSID\{clsid}                  (default) = class name
//       ProgID, VersionIndependentProgID   (default) = the ProgIDs
//       InprocServer32                     (default) = library path, ThreadingModel
//       TypeLib, Version                   (default) = type library GUID and version
//       Control, Insertable                flag keys
//       MiscStatus, ToolboxBitmap32        (default) = values
//       Implemented Categories\{catid}, Required Categories\{catid}
//       VersionInfo                        the library's version information,
//                                          one value per field (see VersionInfo)
//   Classes\<ProgID>                       (default) = class name; CLSID (default) = clsid
//   Classes\<VersionIndependentProgID>     ... and CurVer (default) = current ProgID
//   Classes\TypeLib\{libid}\<major.minor>  (default) = name; FLAGS, HELPDIR, <lcid>\ = path
//   Classes\Interface\{iid}                (default) = name; TypeLib (default) = libid, Version
//   Classes\Component Categories\{catid}   <lcid> = description
//
// Registering again replaces the earlier keys of the same class or library;
// unregistering removes exactly what registering wrote and leaves keys that
// now belong to someone else (a ProgID taken over by another class, a category
// other classes share).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/store.h"

namespace platform::registry {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with hexadecimal digits.
bool isGuid(std::string_view text);

// The version information of the library that serves a class: what a version
// resource says on platforms that have them. Stored as the values
// FileVersion, ProductVersion, FileDescription, ProductName, InternalName,
// OriginalFilename and Translation ("040904B0": language, then code page).
struct VersionInfo {
    std::string fileVersion;
    std::string productVersion;
    std::string fileDescription;
    std::string productName;
    std::string internalName;
    std::string originalFilename;
    std::uint16_t language = 0x0409;
    std::uint16_t codePage = 1200;

    bool operator==(const VersionInfo&) const = default;
};

struct ClassRegistration {
    std::string clsid;
    std::string name;
    std::string progId;                    // optional
    std::string versionIndependentProgId;  // optional
    std::string serverPath;                // the in-process server library
    std::string threadingModel = "Apartment";
    std::string typeLibrary;  // GUID, optional
    std::string version;      // of the type library, e.g. "1.2"
    bool control = false;
    bool insertable = false;
    std::optional<std::uint32_t> miscStatus;
    std::string toolboxBitmap;  // "<library path>, <bitmap number>"
    std::vector<std::string> implementedCategories;
    std::vector<std::string> requiredCategories;
    std::optional<VersionInfo> versionInfo;
};

struct TypeLibraryRegistration {
    std::string guid;
    std::string version;  // "major.minor"
    std::string name;
    std::string path;  // the library that carries it
    std::string helpDir;
    std::uint32_t locale = 0;
    std::uint32_t flags = 0;
};

// Bad input (a malformed GUID, a ProgID with "\" in it) raises
// std::invalid_argument and writes nothing; store failures raise RegistryError.
class Registration {
public:
    explicit Registration(Store& store) : store_(store) {}

    void registerClass(const ClassRegistration& reg);
    // Returns whether the class was registered.
    bool unregisterClass(std::string_view clsid);
    std::optional<ClassRegistration> findClass(std::string_view clsid) const;

    // ProgIDs compare without regard to case; a version-independent ProgID
    // resolves too. Unknown or malformed names give nothing.
    std::optional<std::string> clsidFromProgId(std::string_view progId) const;
    std::optional<std::string> progIdFromClsid(std::string_view clsid) const;
    std::optional<std::string> inprocServer(std::string_view clsid) const;

    // Creates the category with its description unless it exists already.
    void registerCategory(std::string_view catid, std::string_view description,
                          std::uint32_t locale = 0x409);
    std::optional<std::string> categoryDescription(std::string_view catid,
                                                   std::uint32_t locale = 0x409) const;

    void registerTypeLibrary(const TypeLibraryRegistration& reg);
    // Also removes the interfaces of the library once no version of it is left.
    bool unregisterTypeLibrary(std::string_view guid, std::string_view version);
    // An empty version finds the highest registered one.
    std::optional<TypeLibraryRegistration> findTypeLibrary(std::string_view guid,
                                                           std::string_view version = {}) const;
    void registerInterface(std::string_view iid, std::string_view name,
                           std::string_view typeLibrary, std::string_view version);

    // Key of a type library version, for data kept beside the standard values.
    static std::string typeLibraryKey(std::string_view guid, std::string_view version);
    // major * 65536 + minor, for ordering versions; -1 for text that is not one.
    static long versionOrder(std::string_view version);

private:
    void removeClassKeys(const std::string& clsidKey, std::string_view clsid);

    Store& store_;
};

}  // namespace platform::registry
