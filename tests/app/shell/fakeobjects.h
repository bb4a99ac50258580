// Automation stand-ins for the components tvn creates by ProgID, for tests of
// the main window's own rules: a directory control that records what it is
// told and answers searches, entries, levels and layouts from small tables, a
// session control with a list of servers, and a factory that hands them out
// by ProgID (or fails a chosen creation with a chosen error number).
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/shell/frmMain.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/events.h"

namespace fakes {

namespace pa = platform::automation;

class FakeDirectory;

class FakeEntry : public pa::Dispatchable<FakeEntry> {
public:
    FakeEntry(const FakeDirectory& directory, std::string path, std::string layout)
        : directory_(directory), path_(std::move(path)), layout_(std::move(layout)) {}
    static void describe(pa::MapBuilder<FakeEntry>& b);

private:
    const FakeDirectory& directory_;
    std::string path_;
    std::string layout_;
};

class FakeDirectory : public pa::Dispatchable<FakeDirectory> {
public:
    FakeDirectory();
    static void describe(pa::MapBuilder<FakeDirectory>& b);
    pa::EventSource* events() noexcept override { return &events_; }

    struct Search {
        std::string pattern;
        std::string classes;
        int scope;
        std::string context;
        int mode;
    };

    std::string classFilter;
    std::string contextPath = "KTR:\\\\CorpTree\\Acme";
    std::vector<Search> searches;
    // What SearchCompleted reports for the next search (Empty: nothing matched).
    pa::Variant results;
    // Entries by full name, with their class. A tree root ("KTR:\\\\T")
    // need not be listed; it is of class "Top". The entries below a full
    // name are those whose name continues it by one level, in name order.
    std::map<std::string, std::string> entries;
    // Values by full name and field; a field not listed raises 603.
    std::map<std::string, std::map<std::string, pa::Variant::Array>> values;
    // The fields of the layouts by layout name ("user", "workstation");
    // Layouts.Item answers Nothing for a layout not listed.
    std::map<std::string, std::vector<std::string>> layouts;
    // Raised by OpenEntry when set (600 connection lost, ...).
    int openError = 0;
    // The field types of the schema; FieldTypes.Item raises 603 for others,
    // or fieldTypeError when that is set.
    std::vector<std::string> fieldTypes;
    int fieldTypeError = 0;
    // Told of every write of ContextPath.
    std::function<void(const std::string&)> contextWritten;

    // The class of a full name; empty when there is no such entry.
    std::string classOf(const std::string& fullName) const;
    pa::Variant entriesBelow(const std::string& fullName) const;

private:
    pa::Variant openEntry(const std::string& fullName);
    void startSearch(const std::string& pattern, const std::string& classes, int scope,
                     const pa::Variant& context, int mode);

    pa::EventSource events_;
};

// Hands out fake directory controls and a fake session control by ProgID
// (which, as in the registry, does not depend on case), or, when asked to,
// the registered directory control itself with its calls recorded.
class FakeObjects {
public:
    tvn::ObjectFactory factory();

    // When set, directory controls are the registered control, created by
    // ProgID from the registry; each is watched, and every member asked of it
    // is recorded in `calls`.
    bool realDirectory = false;
    struct Call {
        size_t control;  // in order of creation: 0 KDDirRCTree ... 4 KDDirWSAddress
        std::string member;
    };
    std::vector<Call> calls;
    // Told of each call of a registered control before it is made (a test
    // may stop the server midway).
    std::function<void(const Call&)> beforeCall;
    size_t callsOf(size_t control, const std::string& member) const;

    std::vector<std::string> created;                 // ProgIDs, in order of creation
    std::vector<pa::Ref<FakeDirectory>> directories;  // in order of creation
    // The session control's servers; without a value it cannot be created.
    std::optional<std::vector<std::string>> servers;
    // Makes creation number `failAt` (0-based, any ProgID) raise `failWith`.
    std::optional<size_t> failAt;
    int failWith = 0;
    // Writes of ContextPath: (index in directories, value), in order.
    std::vector<std::pair<size_t, std::string>> contextWrites;
    // Prepares every directory control created from now on.
    std::function<void(FakeDirectory&)> prepare;

private:
    size_t realControls_ = 0;
};

}  // namespace fakes
