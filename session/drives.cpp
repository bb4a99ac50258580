// Drive mappings over the client's drive table.
#include "session/drives.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "kdclient.h"
#include "outside/client/resolver.h"
#include "session/client.h"
#include "session/errors.h"
#include "session/namepath.h"

namespace session {
namespace {

bool isNetworkDrive(std::uint16_t status) {
    return (status & KD_DRIVE_NETWORK) != 0;
}

char letterOf(std::uint16_t drive) {
    return static_cast<char>('A' + drive - 1);
}

[[noreturn]] void mappingError() {
    raiseMessage(msg::DriveMapping);
}

// \\SERVER\VOLUME\DIR\SUB taken apart, with "." and ".." worked out: a path
// whose ".." would climb above its volume names nothing.
struct NetworkPath {
    std::string server;
    std::string volume;
    std::vector<std::string> directories;

    // "VOLUME:" or "VOLUME:DIR\SUB".
    std::string volumeForm(bool withDirectories) const {
        std::string out = volume + ":";
        if (withDirectories) out += joined();
        return out;
    }
    std::string joined() const {
        std::string out;
        for (std::size_t i = 0; i < directories.size(); ++i)
            out += (i ? "\\" : "") + directories[i];
        return out;
    }
    // "\\SERVER\VOLUME" and, when wanted, "\DIR\SUB": the path the drive
    // status reports for the mapping.
    std::string reported(bool withDirectories) const {
        std::string out = "\\\\" + server + "\\" + volume;
        if (withDirectories)
            for (const std::string& directory : directories) out += "\\" + directory;
        return out;
    }
};

std::optional<NetworkPath> parseNetworkPath(const std::string& fullName) {
    // At least \\S\V: five characters, "\\" in front and two more "\".
    if (fullName.size() < 5 || fullName.compare(0, 2, "\\\\") != 0) return std::nullopt;
    // The client takes the path as C text: a NUL would cut it short, and a
    // shorter path than the caller named would be mapped.
    if (fullName.find('\0') != std::string::npos) return std::nullopt;
    if (std::count(fullName.begin() + 1, fullName.end(), '\\') < 2) return std::nullopt;
    NetworkPath path;
    const std::size_t serverEnd = fullName.find('\\', 2);
    path.server = fullName.substr(2, serverEnd - 2);
    std::string_view rest = std::string_view(fullName).substr(serverEnd + 1);
    const std::size_t volumeEnd = rest.find('\\');
    path.volume = std::string(rest.substr(0, volumeEnd));
    rest = volumeEnd == std::string_view::npos ? std::string_view() : rest.substr(volumeEnd + 1);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\\');
        const std::string_view part = rest.substr(0, end);
        if (part == "..") {
            if (path.directories.empty()) return std::nullopt;
            path.directories.pop_back();
        } else if (!part.empty() && part != ".") {
            path.directories.emplace_back(part);
        }
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    if (path.server.empty() || path.volume.empty()) return std::nullopt;
    return path;
}

// The connection to a server: the one open, else a new one.
std::optional<KDCONNHANDLE> connectionTo(const std::string& server) {
    KDCONNHANDLE conn = 0;
    int rc = kdserv_open_connection(server.c_str(), &conn);
    if (rc == KD_ERR_NO_CONNECTION) rc = kdconn_open_by_name(server.c_str(), &conn);
    if (rc != KD_SUCCESS) return std::nullopt;
    return conn;
}

// The mapping a drive has now, to put back if a new one cannot be made.
struct PreviousMapping {
    KDCONNHANDLE connection = 0;
    std::string volumePath;
};

std::optional<PreviousMapping> currentMapping(std::uint16_t drive) {
    std::uint16_t status = 0;
    PreviousMapping previous;
    char path[KD_MAX_PATH] = {};
    if (kdserv_drive_status(drive, KD_DRIVE_PATH_VOLUME, &status, &previous.connection, path) !=
            KD_SUCCESS ||
        !isNetworkDrive(status))
        return std::nullopt;
    previous.volumePath = fromBuffer(path, sizeof path);
    return previous;
}

// The process's current directory, given as a drive path ("G:\DIR"). The
// drive was just mapped, so the client's drive table leads to it.
void changeCurrentDirectory(const std::string& drivePath) {
    try {
        const auto local =
            platform::process::toLocalPath(drivePath, *outside::client::makePathResolver());
        std::error_code ec;
        std::filesystem::current_path(local, ec);
    } catch (const platform::process::PathError&) {
        // Like a directory that does not exist: the process stays where it is.
    }
}

}  // namespace

void KDDriveMapping::describe(pa::MapBuilder<KDDriveMapping>& b) {
    b.property(1, "DriveLetter", &KDDriveMapping::driveLetter)
        .help("Returns the letter of the logical drive as mapped in the current session.", 997);
    b.property(2, "FullName", &KDDriveMapping::fullName)
        .help(
            "Returns the full name of the network drive and directory for this KDDriveMapping "
            "object.",
            998)
        .asDefault();
    b.property(3, "MappedAsRoot", &KDDriveMapping::mappedAsRoot)
        .help("Specifies whether the path was mapped to the root of a network volume.", 999);
}

pa::Ref<KDDriveMapping> KDDriveMapping::create(std::uint16_t drive) {
    return pa::Ref<KDDriveMapping>(new KDDriveMapping(drive));
}

std::string KDDriveMapping::driveLetter() const {
    return std::string(1, letterOf(drive_)) + ":";
}

std::string KDDriveMapping::fullName() const {
    std::uint16_t status = 0;
    char path[KD_MAX_PATH] = {};
    if (kdserv_drive_status(drive_, KD_DRIVE_PATH_FULL, &status, nullptr, path) != KD_SUCCESS)
        return {};
    return fromBuffer(path, sizeof path);
}

bool KDDriveMapping::mappedAsRoot() const {
    const std::string path = fullName();
    return std::count(path.begin(), path.end(), '\\') >= 4;
}

void KDDriveMappings::describe(pa::MapBuilder<KDDriveMappings>& b) {
    b.property(1, "Count", &KDDriveMappings::count)
        .help("Returns the number of drive mapping objects in this collection.", 486);
    b.method(2, "Remove", &KDDriveMappings::remove, {"Index"})
        .help("Removes a logical drive mapping from this network session.", 1007);
    b.method(3, "Add", &KDDriveMappings::add,
             {"DriveLetter", "FullName", pa::optional("MapAsRoot")})
        .help("Adds a logical drive mapping.", 1006)
        .returns("IKDDriveMapping");
    b.getter(4, "Item", &KDDriveMappings::item, {"Index"})
        .help("Returns the requested KDDriveMapping object from the collection according to Index.",
              368)
        .returns("IKDDriveMapping")
        .asDefault();
    b.newEnum(&KDDriveMappings::newEnum).notInTypeLibrary();
}

pa::Ref<KDDriveMappings> KDDriveMappings::create() {
    pa::Ref<KDDriveMappings> mappings(new KDDriveMappings);
    for (std::uint16_t drive = 1; drive <= 26; ++drive) {
        std::uint16_t status = 0;
        char path[KD_MAX_PATH] = {};
        if (kdserv_drive_status(drive, KD_DRIVE_PATH_FULL, &status, nullptr, path) == KD_SUCCESS &&
            isNetworkDrive(status))
            mappings->items_.push_back(KDDriveMapping::create(drive));
    }
    return mappings;
}

std::int32_t KDDriveMappings::positionOf(const pa::Variant& index) const {
    if (index.isString()) {
        const std::string& text = index.deref().stringValue();
        if (text.empty()) return -1;
        const char letter = toUpperAscii(text[0]);
        for (std::size_t i = 0; i < items_.size(); ++i)
            if (letterOf(items_[i]->drive()) == letter) return static_cast<std::int32_t>(i);
        return -1;
    }
    const std::int32_t position = index.toInt32();
    if (position < 0 || position >= count())
        throw pa::AutomationError::standard(pa::error::BadIndex);
    return position;
}

pa::Variant KDDriveMappings::item(pa::Variant index) const {
    const std::int32_t position = positionOf(index);
    if (position < 0) return pa::Variant::nothing();
    return pa::Variant(items_[static_cast<std::size_t>(position)]);
}

bool KDDriveMappings::remove(pa::Variant index) {
    const std::int32_t position = positionOf(index);
    if (position < 0) return false;
    const auto it = items_.begin() + position;
    if (kdserv_delete_drive((*it)->drive()) != KD_SUCCESS) return false;
    items_.erase(it);
    return true;
}

pa::Ref<KDDriveMapping> KDDriveMappings::add(std::string driveLetter, std::string fullName,
                                             pa::Variant mapAsRoot) {
    const bool asRoot = !mapAsRoot.isMissing() && !mapAsRoot.isNull() && mapAsRoot.toBool();
    const char letter = driveLetter.empty() ? '\0' : toUpperAscii(driveLetter[0]);
    if (letter < 'A' || letter > 'Z') mappingError();
    const auto drive = static_cast<std::uint16_t>(letter - 'A' + 1);

    const auto path = parseNetworkPath(toUpperAscii(std::move(fullName)));
    if (!path) mappingError();
    // A mapping whose path the drive status cannot give back would be made
    // but never listed, so that it could not be removed through us either.
    if (path->reported(asRoot).size() + 1 > KD_MAX_PATH) mappingError();
    const auto conn = connectionTo(path->server);
    if (!conn) mappingError();

    // Any earlier mapping of the drive goes first; should the new one fail,
    // the earlier one is put back rather than lost.
    const auto previous = currentMapping(drive);
    kdserv_delete_drive(drive);
    if (kdserv_map_drive(drive, *conn, path->volumeForm(asRoot).c_str()) != KD_SUCCESS) {
        if (previous) kdserv_map_drive(drive, previous->connection, previous->volumePath.c_str());
        mappingError();
    }
    changeCurrentDirectory(std::string(1, letter) + ":\\" + (asRoot ? "" : path->joined()));
    return KDDriveMapping::create(drive);
}

pa::Ref<CEnumVariant> KDDriveMappings::newEnum() const {
    return enumeratorOver(items_);
}

}  // namespace session
