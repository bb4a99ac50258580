// Translation of paths in the platform's own form ("\\FS1\SYS\PUBLIC\x.exe",
// "T:\tvn\CorpTree.lst", "\dir\file", "dir\file") into local paths. The
// program builds its paths with "\" and translates them once, at the file call.
//
// Where UNC volumes and drive letters lead is asked of one PathResolver. The
// default one finds volumes as directories below the network root $UNC_ROOT
// ($UNC_ROOT/<SERVER>/<VOLUME>) and maps only Z: (the local root "/"); the
// network client stand-in installs a resolver of its own with its volumes and
// drive mappings.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/process/errors.h"

namespace platform::process {

class PathResolver {
public:
    virtual ~PathResolver() = default;

    // The local directory of a volume on a server, or nullopt when the network
    // has no such server or volume. Names arrive as written in the path (any
    // case). May throw PathError when it cannot answer at all (no network).
    virtual std::optional<std::filesystem::path> volumeRoot(std::string_view server,
                                                            std::string_view volume) const = 0;

    // The local directory a drive letter ('A' to 'Z', upper case) stands for,
    // or nullopt when the letter is not mapped.
    virtual std::optional<std::filesystem::path> driveRoot(char letter) const = 0;
};

// Volumes below $UNC_ROOT (server and volume directories matched without
// regard to case); Z: is the local root. $UNC_ROOT is read at each call.
class DefaultPathResolver : public PathResolver {
public:
    std::optional<std::filesystem::path> volumeRoot(std::string_view server,
                                                    std::string_view volume) const override;
    std::optional<std::filesystem::path> driveRoot(char letter) const override;
};

// The resolver in use, and a way to install another (nullptr restores the
// default). Safe to call from any thread.
std::shared_ptr<const PathResolver> pathResolver();
void setPathResolver(std::shared_ptr<const PathResolver> resolver);

// The local path of a path in the platform's form, made absolute:
//   \\SERVER\VOLUME\rest  below the volume's root (resolver)
//   X:\rest, X:rest       below the drive's root (resolver)
//   \rest                 below the local root "/"
//   rest                  below the current directory
// "/" separates like "\", so local absolute paths pass through unchanged.
// Each existing component is matched to the real directory entry without
// regard to case; components that do not exist (yet) keep their case. "."
// and empty components are dropped, ".." never climbs above the volume or
// drive root. Throws PathError when the path has no local counterpart.
std::filesystem::path toLocalPath(std::string_view platformPath);
std::filesystem::path toLocalPath(std::string_view platformPath, const PathResolver& resolver);

// The entry of dir whose name equals name without regard to case; an exact
// match wins, otherwise the smallest matching name, so the choice is stable.
std::optional<std::filesystem::path> findEntryIgnoringCase(const std::filesystem::path& dir,
                                                           std::string_view name);

}  // namespace platform::process
