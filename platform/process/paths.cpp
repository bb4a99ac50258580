// Path translation from the platform's form to local paths, and the default
// resolver of UNC volumes and drive letters.
#include "platform/process/paths.h"

#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "platform/text/casefold.h"

namespace platform::process {
namespace fs = std::filesystem;

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

bool isDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A server or volume name that cannot step out of the network root.
bool isPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("\\/\0", 3)) == std::string_view::npos;
}

std::string_view nextComponent(std::string_view& rest) {
    const std::size_t end = rest.find_first_of("\\/");
    const std::string_view component = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return component;
}

bool isExistingDirectory(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// Walks components below a root that ".." cannot leave.
class Walker {
public:
    explicit Walker(fs::path root) : root_(std::move(root)), current_(root_) {}

    void pushExisting(const fs::path& name) {
        names_.push_back(name);
        current_ /= name;
    }

    void step(std::string_view component) {
        if (component.empty() || component == ".") return;
        if (component == "..") {
            if (!names_.empty()) {
                names_.pop_back();
                current_ = root_;
                for (const auto& name : names_) current_ /= name;
            }
            return;
        }
        if (auto entry = findEntryIgnoringCase(current_, component))
            pushExisting(entry->filename());
        else
            pushExisting(fs::path(std::string(component)));
    }

    const fs::path& path() const { return current_; }

private:
    fs::path root_;
    fs::path current_;
    std::vector<fs::path> names_;
};

std::mutex g_resolverMutex;
std::shared_ptr<const PathResolver> g_resolver;

}  // namespace

std::optional<fs::path> findEntryIgnoringCase(const fs::path& dir, std::string_view name) {
    std::error_code ec;
    const fs::path exact = dir / fs::path(std::string(name));
    if (fs::exists(fs::symlink_status(exact, ec))) return exact;

    std::optional<fs::path> best;
    std::string bestName;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entryName = it->path().filename().string();
        if (!text::equalsIgnoringCase(entryName, name)) continue;
        if (!best || entryName < bestName) {
            best = it->path();
            bestName = std::move(entryName);
        }
    }
    return best;
}

std::optional<fs::path> DefaultPathResolver::volumeRoot(std::string_view server,
                                                        std::string_view volume) const {
    const char* rootText = std::getenv("UNC_ROOT");
    if (!rootText || !*rootText)
        throw PathError(PathError::Kind::NoNetworkRoot, "no network root (UNC_ROOT is not set)");
    const fs::path root(rootText);
    if (!isExistingDirectory(root))
        throw PathError(PathError::Kind::NoNetworkRoot,
                        "the network root " + root.string() + " is not a directory");
    if (!isPlainName(server) || !isPlainName(volume)) return std::nullopt;

    const auto serverDir = findEntryIgnoringCase(root, server);
    if (!serverDir || !isExistingDirectory(*serverDir)) return std::nullopt;
    const auto volumeDir = findEntryIgnoringCase(*serverDir, volume);
    if (!volumeDir || !isExistingDirectory(*volumeDir)) return std::nullopt;
    return volumeDir;
}

std::optional<fs::path> DefaultPathResolver::driveRoot(char letter) const {
    if (letter == 'Z') return fs::path("/");
    return std::nullopt;
}

std::shared_ptr<const PathResolver> pathResolver() {
    std::lock_guard lock(g_resolverMutex);
    if (!g_resolver) g_resolver = std::make_shared<DefaultPathResolver>();
    return g_resolver;
}

void setPathResolver(std::shared_ptr<const PathResolver> resolver) {
    std::lock_guard lock(g_resolverMutex);
    g_resolver = std::move(resolver);
}

fs::path toLocalPath(std::string_view platformPath) {
    return toLocalPath(platformPath, *pathResolver());
}

fs::path toLocalPath(std::string_view platformPath, const PathResolver& resolver) {
    using Kind = PathError::Kind;
    // Appended piece by piece: "\"" + std::string(...) trips a false -Wrestrict
    // of g++ 12 in optimised builds.
    std::string quoted(1, '"');
    quoted.append(platformPath).push_back('"');
    if (platformPath.empty()) throw PathError(Kind::Malformed, "empty path");
    if (platformPath.find('\0') != std::string_view::npos)
        throw PathError(Kind::Malformed, "NUL character in a path");

    std::string_view rest = platformPath;
    std::optional<Walker> walker;
    if (platformPath.size() >= 2 && isSeparator(platformPath[0]) && isSeparator(platformPath[1])) {
        rest.remove_prefix(2);
        const std::string_view server = nextComponent(rest);
        const std::string_view volume = nextComponent(rest);
        if (!isPlainName(server) || !isPlainName(volume))
            throw PathError(Kind::Malformed, "a UNC path needs a server and a volume: " + quoted);
        auto root = resolver.volumeRoot(server, volume);
        if (!root)
            throw PathError(Kind::UnknownVolume, "no volume \\\\" + std::string(server) + "\\" +
                                                     std::string(volume) + " for " + quoted);
        walker.emplace(std::move(*root));
    } else if (platformPath.size() >= 2 && isDriveLetter(platformPath[0]) &&
               platformPath[1] == ':') {
        const char letter = static_cast<char>(platformPath[0] & ~0x20);
        auto root = resolver.driveRoot(letter);
        if (!root)
            throw PathError(Kind::UnknownDrive,
                            "drive " + std::string(1, letter) + ": is not mapped, in " + quoted);
        walker.emplace(std::move(*root));
        rest.remove_prefix(2);
    } else if (isSeparator(platformPath[0])) {
        walker.emplace("/");
    } else {
        // The current directory is real already: its names need no matching,
        // and ".." may climb out of it up to the local root.
        std::error_code ec;
        const fs::path cwd = fs::current_path(ec);
        if (ec) throw ProcessError(PathNotFound, "no current directory for " + quoted);
        walker.emplace("/");
        for (const auto& name : cwd.relative_path()) walker->pushExisting(name);
    }

    while (!rest.empty()) walker->step(nextComponent(rest));
    return walker->path();
}

}  // namespace platform::process
