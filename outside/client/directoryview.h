// What the client needs of the directory data: whether a tree exists, the
// class of an object and the subordinates of a container. One narrow
// interface so that the directory calls do not depend on how the data is kept.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace outside::client {

class Network;

struct DirectoryChild {
    std::string name;  // relative name, as the directory spells it
    std::string className;
};

class DirectoryView {
public:
    virtual ~DirectoryView() = default;
    // The tree's own spelling, or nullopt when the directory has no such tree.
    virtual std::optional<std::string> findTree(std::string_view tree) const = 0;
    // path: the names from the tree root down; empty is the root itself.
    virtual std::optional<std::string> className(std::string_view tree,
                                                 const std::vector<std::string>& path) const = 0;
    // nullopt when there is no such object.
    virtual std::optional<std::vector<DirectoryChild>> children(
        std::string_view tree, const std::vector<std::string>& path) const = 0;
};

// The directory of the network: the source (LDIF file or LDAP URL) named by
// KDDIR_SOURCE, else the one the network description names; nullptr when
// neither names one. Throws ClientError(KD_ERR_CLIENT_UNAVAILABLE) when the
// source cannot be read, then or on a later call.
std::shared_ptr<const DirectoryView> directoryOf(const Network& network);

}  // namespace outside::client
