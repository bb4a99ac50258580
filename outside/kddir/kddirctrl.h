// The directory control KDDirLib.KDDirCtrl.1: a late-bound automation object
// through which tvn reads the directory. It names a context, filters by
// class, opens entries, lists the entries below a context, searches by name
// prefix (answering with the SearchCompleted event before StartSearch
// returns) and describes the schema as layouts and field types.
//
// Errors reach callers as automation errors with the control's codes:
// 600 the source is lost (the file vanished, became unreadable or no longer
// holds a directory), 601 no object has that name, 603 no field type has that
// name. Creating the control without a configured source fails with code 7.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "outside/directory/directory.h"
#include "outside/kddir/source.h"
#include "platform/automation/automation.h"

namespace outside::kddir {

namespace code {
inline constexpr int NoClient = 7;  // no directory source is configured
inline constexpr int SourceLost = 600;
inline constexpr int NoSuchObject = 601;
inline constexpr int NoSuchFieldType = 603;
}  // namespace code

inline constexpr const char* kProgId = "KDDirLib.KDDirCtrl.1";
inline constexpr const char* kClsid = "{6A1E3C20-5B7D-4C1E-9E52-0D4B7A11C001}";
inline constexpr const char* kEventsIid = "{6A1E3C20-5B7D-4C1E-9E52-0D4B7A11C002}";
inline constexpr const char* kLibraryId = "{6A1E3C20-5B7D-4C1E-9E52-0D4B7A11C000}";

inline constexpr platform::automation::DispId kSearchCompleted = 1;

using DirectoryPtr = std::shared_ptr<const outside::directory::Directory>;

// Loads the current data of a source through the process-wide cache;
// raises 600 when the source cannot be read, is too large or no longer holds
// a directory.
DirectoryPtr loadSource(const std::string& source, const outside::directory::LoadLimits& limits);

// Class names as the control takes them: "User, Alias, Workstation".
std::vector<outside::directory::ClassId> parseClassList(const outside::directory::Directory& dir,
                                                        std::string_view list);

class KDDirCtrl : public platform::automation::Dispatchable<KDDirCtrl> {
public:
    static void describe(platform::automation::MapBuilder<KDDirCtrl>& b);

    // Raises code::NoClient without a source, 600 when it cannot be read.
    KDDirCtrl();
    platform::automation::EventSource* events() noexcept override { return &events_; }

    std::string classFilter() const { return classFilter_; }
    void setClassFilter(std::string filter);
    std::string contextPath();
    void setContextPath(std::string fullName);
    std::string treeOf(std::string fullName);
    std::string rootPath(std::string treeName, std::optional<std::string> context);
    platform::automation::Variant currentEntry();
    platform::automation::Variant entriesBelow();
    platform::automation::Variant openEntry(std::string fullName);
    void startSearch(std::string pattern, std::string classes, std::int32_t scope,
                     platform::automation::Variant context, std::optional<std::int32_t> flags);
    platform::automation::Variant layouts();
    platform::automation::Variant fieldTypes();

private:
    // The current data; reloaded when the source file changed.
    DirectoryPtr data();
    outside::directory::EntryId entryOf(const outside::directory::Directory& dir,
                                        std::string_view fullName) const;
    outside::directory::EntryId contextEntry(const outside::directory::Directory& dir);

    std::string source_;
    outside::directory::LoadLimits limits_;
    std::string classFilter_;
    std::string context_;  // empty: the root of the first tree
    platform::automation::EventSource events_;
};

}  // namespace outside::kddir
