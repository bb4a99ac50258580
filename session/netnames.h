// Network names and their collections: KDNetObj (a name with FullName and
// ShortName, read only) and KDNetObjects (an ordered, read-only snapshot of
// names with Count, Item and _NewEnum), plus the five snapshots the control
// offers: the servers of the network, its trees, and the servers, trees and
// volumes this workstation is connected to.
#pragma once

#include <string>
#include <vector>

#include "platform/automation/dispatch.h"
#include "platform/automation/enumerator.h"

namespace session {

namespace pa = platform::automation;

// The enumerator of every collection of the control.
using CEnumVariant = pa::EnumVariant;

// A new enumerator over a snapshot of a collection's items, in order.
template <typename T>
pa::Ref<CEnumVariant> enumeratorOver(const std::vector<pa::Ref<T>>& items) {
    pa::Variant::Array all;
    all.reserve(items.size());
    for (const auto& it : items) all.emplace_back(it);
    return CEnumVariant::create(std::move(all));
}

class KDNetObj : public pa::Dispatchable<KDNetObj> {
public:
    static void describe(pa::MapBuilder<KDNetObj>& b);
    static pa::Ref<KDNetObj> create(std::string fullName, std::string shortName);

    const std::string& fullName() const { return fullName_; }
    const std::string& shortName() const { return shortName_; }

private:
    KDNetObj(std::string fullName, std::string shortName)
        : fullName_(std::move(fullName)), shortName_(std::move(shortName)) {}

    std::string fullName_;
    std::string shortName_;
};

class KDNetObjects : public pa::Dispatchable<KDNetObjects> {
public:
    static void describe(pa::MapBuilder<KDNetObjects>& b);
    static pa::Ref<KDNetObjects> create() { return pa::Ref<KDNetObjects>(new KDNetObjects); }

    void add(std::string fullName, std::string shortName);
    std::int32_t count() const { return static_cast<std::int32_t>(items_.size()); }
    // A text names an item by its ShortName, ignoring case (Nothing when no
    // item has it); anything else is a position from 0.
    pa::Variant item(pa::Variant index) const;
    pa::Ref<CEnumVariant> newEnum() const;
    const std::vector<pa::Ref<KDNetObj>>& items() const { return items_; }

private:
    KDNetObjects() { items_.reserve(10); }

    std::vector<pa::Ref<KDNetObj>> items_;
};

// The names in their order, each only at its first occurrence, ignoring case.
std::vector<std::string> uniqueIgnoringCase(std::vector<std::string> names);

// The snapshots. Client errors end a list where they occur; only TreeNames
// raises, when it cannot create its directory context.
pa::Ref<KDNetObjects> serverNames();
pa::Ref<KDNetObjects> treeNames();
pa::Ref<KDNetObjects> connectedServers();
pa::Ref<KDNetObjects> connectedTrees();
pa::Ref<KDNetObjects> connectedVolumes();

}  // namespace session
