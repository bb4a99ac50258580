// The directory of the network, as the client reads it: the directory
// source (an LDIF file or an LDAP server) that the directory control reads,
// opened with the control's settings from the registry.
#include "outside/client/directoryview.h"

#include <cstdlib>

#include "kdtypes.h"
#include "outside/client/errors.h"
#include "outside/client/network.h"
#include "outside/directory/fullname.h"
#include "outside/kddir/source.h"

namespace outside::client {

namespace dir = outside::directory;

namespace {

[[noreturn]] void unavailable(const std::exception& why) {
    throw ClientError(KD_ERR_CLIENT_UNAVAILABLE,
                      std::string("the directory cannot be read: ") + why.what());
}

class SourceView : public DirectoryView {
public:
    explicit SourceView(std::shared_ptr<dir::Source> source) : source_(std::move(source)) {}

    std::optional<std::string> findTree(std::string_view tree) const override {
        try {
            return source_->findTree(tree);
        } catch (const dir::SourceLost& lost) {
            unavailable(lost);
        }
    }

    std::optional<std::string> className(std::string_view tree,
                                         const std::vector<std::string>& path) const override {
        const dir::EntryPtr found = entry(tree, path);
        if (!found) return std::nullopt;
        return found->schema()->objectClass(found->classId()).name;
    }

    std::optional<std::vector<DirectoryChild>> children(
        std::string_view tree, const std::vector<std::string>& path) const override {
        const dir::EntryPtr found = entry(tree, path);
        if (!found) return std::nullopt;
        std::vector<DirectoryChild> out;
        try {
            for (const dir::EntryPtr& child : found->children({}).entries)
                out.push_back({child->name(), child->schema()->objectClass(child->classId()).name});
        } catch (const dir::SourceLost& lost) {
            unavailable(lost);
        }
        return out;
    }

private:
    dir::EntryPtr entry(std::string_view tree, const std::vector<std::string>& path) const {
        std::vector<std::string_view> names{tree};
        names.insert(names.end(), path.begin(), path.end());
        try {
            if (dir::EntryPtr found = source_->find(dir::joinFullName(names))) return found;
            return byLoginName(names);
        } catch (const dir::SourceLost& lost) {
            unavailable(lost);
        }
    }

    // A network account is named by its login name; on a directory read
    // through a mapping the user's entry is named otherwise (by the full
    // name), and the login name is a value the mapping searches.
    dir::EntryPtr byLoginName(const std::vector<std::string_view>& names) const {
        if (names.size() < 2) return nullptr;
        const std::string login(names.back());
        if (login.find('*') != std::string::npos) return nullptr;
        const dir::EntryPtr parent = source_->find(
            dir::joinFullName(std::vector<std::string_view>(names.begin(), names.end() - 1)));
        if (!parent || !parent->schema()->mapped()) return nullptr;
        const auto user = parent->schema()->findClass("User");
        if (!user) return nullptr;
        dir::SourceQuery query;
        query.pattern = login;
        query.classes = {*user};
        query.scope = dir::Scope::OneLevel;
        const dir::SearchHits hits = source_->search(*parent, query);
        if (hits.names->size() != 1) return nullptr;  // none, or no one in particular
        return source_->find(hits.names->at(0));
    }

    std::shared_ptr<dir::Source> source_;
};

}  // namespace

std::shared_ptr<const DirectoryView> directoryOf(const Network& network) {
    std::string source = network.directorySource().string();
    if (const char* env = std::getenv("KDDIR_SOURCE"); env && *env) source = env;
    if (source.empty()) return nullptr;
    try {
        return std::make_shared<const SourceView>(
            dir::openSource(source, outside::kddir::configuredOptions()));
    } catch (const dir::SourceLost& lost) {
        unavailable(lost);
    } catch (const std::invalid_argument& refused) {
        unavailable(refused);
    }
}

}  // namespace outside::client
