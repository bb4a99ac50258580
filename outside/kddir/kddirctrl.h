// The directory control KDDirLib.KDDirCtrl.1: a late-bound automation object
// through which tvn reads the directory. It names a context, filters by
// class, opens entries, lists the entries below a context, searches by name
// prefix (answering with the SearchCompleted event before StartSearch
// returns) and describes the schema as layouts and field types.
//
// The source is an LDIF file or an LDAP server (outside/directory/source.h).
// Errors reach callers as automation errors with the control's codes:
// 600 the source is lost (the file vanished, became unreadable or no longer
// holds a directory; the server cannot be reached, also after one
// reconnect), 601 no object has that name, 603 no field type has that name.
// Creating the control without a configured source fails with code 7.
//
// A server may enforce a size limit on what it returns. The control then
// uses the partial list and tells its caller through LimitedTo: the number
// of entries the last list or search of this control (or of an entry it
// handed out) returned when a limit cut it short, 0 when nothing was cut.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "outside/directory/source.h"
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

using SchemaPtr = std::shared_ptr<const outside::directory::Schema>;

// Shared by a control and the entries it hands out: the size of the last
// list or search that a server limit cut short (0: none was cut).
struct LimitNote {
    std::int32_t limitedTo = 0;
    void record(bool limited, std::size_t returned) {
        limitedTo = limited ? static_cast<std::int32_t>(returned) : 0;
    }
};

// Runs a read of the source; a lost source raises 600. The code says the
// source is lost; the text says where and why.
template <class Read>
auto readingSource(Read&& read) -> decltype(read()) {
    try {
        return read();
    } catch (const outside::directory::SourceLost& lost) {
        throw platform::automation::AutomationError(code::SourceLost, lost.what(), 0, "KDDirLib");
    }
}

// Class names as the control takes them: "User, Alias, Workstation".
std::vector<outside::directory::ClassId> parseClassList(const outside::directory::Schema& schema,
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
    std::int32_t limitedTo() const { return note_->limitedTo; }
    std::string boundAs();

private:
    std::vector<outside::directory::ClassId> filterIds();
    outside::directory::EntryPtr entryOf(std::string_view fullName);
    outside::directory::EntryPtr contextEntry();
    platform::automation::Variant entryObject(outside::directory::EntryPtr entry);

    std::shared_ptr<outside::directory::Source> source_;
    std::shared_ptr<LimitNote> note_ = std::make_shared<LimitNote>();
    std::string classFilter_;
    std::string context_;  // empty: the root of the first tree
    platform::automation::EventSource events_;
};

}  // namespace outside::kddir
