// The directory of the network, as the client reads it: an LDIF source
// loaded through the process-wide directory cache.
#include "outside/client/directoryview.h"

#include <cstdlib>

#include "kdtypes.h"
#include "outside/client/errors.h"
#include "outside/client/network.h"
#include "outside/directory/cache.h"

namespace outside::client {

namespace dir = outside::directory;

namespace {

class LoadedDirectory : public DirectoryView {
public:
    explicit LoadedDirectory(std::shared_ptr<const dir::Directory> data) : data_(std::move(data)) {}

    std::optional<std::string> findTree(std::string_view tree) const override {
        const dir::EntryId root = data_->findTree(tree);
        if (root == dir::kNoEntry) return std::nullopt;
        return std::string(data_->name(root));
    }

    std::optional<std::string> className(std::string_view tree,
                                         const std::vector<std::string>& path) const override {
        const dir::EntryId id = entry(tree, path);
        if (id == dir::kNoEntry) return std::nullopt;
        return data_->className(id);
    }

    std::optional<std::vector<DirectoryChild>> children(
        std::string_view tree, const std::vector<std::string>& path) const override {
        const dir::EntryId id = entry(tree, path);
        if (id == dir::kNoEntry) return std::nullopt;
        std::vector<DirectoryChild> found;
        for (const dir::EntryId child : data_->children(id))
            found.push_back({std::string(data_->name(child)), data_->className(child)});
        return found;
    }

private:
    dir::EntryId entry(std::string_view tree, const std::vector<std::string>& path) const {
        dir::EntryId id = data_->findTree(tree);
        for (const std::string& name : path) {
            if (id == dir::kNoEntry) break;
            id = data_->findChild(id, name);
        }
        return id;
    }

    // Held for the client's lifetime: a reload of the file makes a new one.
    std::shared_ptr<const dir::Directory> data_;
};

}  // namespace

std::shared_ptr<const DirectoryView> directoryOf(const Network& network) {
    std::filesystem::path source = network.directorySource();
    if (const char* env = std::getenv("KDDIR_SOURCE"); env && *env) source = env;
    if (source.empty()) return nullptr;
    const dir::LoadResult loaded = dir::DirectoryCache::instance().get(source);
    if (!loaded.ok())
        throw ClientError(KD_ERR_CLIENT_UNAVAILABLE,
                          "the directory cannot be read: " + loaded.error.describe());
    return std::make_shared<const LoadedDirectory>(loaded.directory);
}

}  // namespace outside::client
