// Drive mappings: KDDriveMapping (one network drive, known by its number; its
// path is asked of the client on every read) and KDDriveMappings (the network
// drives of the session as a snapshot, with Item, Add, Remove and _NewEnum).
// The collection is also a creatable class of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/automation/dispatch.h"
#include "session/netnames.h"

namespace session {

class KDDriveMapping : public pa::Dispatchable<KDDriveMapping> {
public:
    static void describe(pa::MapBuilder<KDDriveMapping>& b);
    // `drive` is 1 (A) to 26 (Z).
    static pa::Ref<KDDriveMapping> create(std::uint16_t drive);

    std::uint16_t drive() const { return drive_; }
    // "F:" for drive 6.
    std::string driveLetter() const;
    // "\\SERVER\VOLUME\DIR" as the client reports it; "" when it cannot.
    std::string fullName() const;
    // Whether the path reaches below the volume's root.
    bool mappedAsRoot() const;

private:
    explicit KDDriveMapping(std::uint16_t drive) : drive_(drive) {}

    std::uint16_t drive_;
};

class KDDriveMappings : public pa::Dispatchable<KDDriveMappings> {
public:
    static void describe(pa::MapBuilder<KDDriveMappings>& b);
    // The network drives of the session, A to Z.
    static pa::Ref<KDDriveMappings> create();

    std::int32_t count() const { return static_cast<std::int32_t>(items_.size()); }
    // A text names a drive by its first letter (Nothing when that drive is
    // not listed); anything else is a position from 0.
    pa::Variant item(pa::Variant index) const;
    // Deletes the mapping of the drive Index names; false when it names no
    // listed drive or the client keeps the mapping.
    bool remove(pa::Variant index);
    // Maps DriveLetter to FullName (\\SERVER\VOLUME[\DIR...]): to the volume,
    // the process then standing in the directory, or with MapAsRoot to the
    // directory itself. The collection is not changed; the next snapshot
    // lists the drive. Raises 612 when the mapping cannot be made.
    pa::Ref<KDDriveMapping> add(std::string driveLetter, std::string fullName,
                                pa::Variant mapAsRoot);
    pa::Ref<CEnumVariant> newEnum() const;

private:
    KDDriveMappings() { items_.reserve(10); }
    // The position Index names; -1 for a text that names no listed drive.
    std::int32_t positionOf(const pa::Variant& index) const;

    std::vector<pa::Ref<KDDriveMapping>> items_;
};

}  // namespace session
