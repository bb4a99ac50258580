// The LDIF source: a file loaded whole through the process-wide cache. Every
// call asks the cache for the current data, so a changed file is read again
// and a vanished one reported as lost; entries keep the data they came from.
#include <algorithm>

#include "outside/directory/cache.h"
#include "outside/directory/hostnames.h"
#include "outside/directory/sources.h"

namespace outside::directory {

namespace {

using DirectoryPtr = std::shared_ptr<const Directory>;

class LdifEntry : public SourceEntry {
public:
    LdifEntry(DirectoryPtr dir, EntryId id)
        : dir_(std::move(dir)), id_(id), schema_(dir_, &dir_->schema()) {}

    const std::shared_ptr<const Schema>& schema() const override { return schema_; }
    std::string fullName() const override { return dir_->fullName(id_); }
    std::string name() const override { return std::string(dir_->name(id_)); }
    ClassId classId() const override { return dir_->classOf(id_); }
    std::vector<std::string> values(AttributeId attribute) const override {
        std::vector<std::string> out;
        for (std::string_view value : dir_->values(id_, attribute))
            out.push_back(displayValue(value));
        const Derivation* d = dir_->schema().derivation(attribute, dir_->classOf(id_));
        if (d && d->form == ValueForm::HostName) return tcpAddressesOf(out);
        return out;
    }
    bool hasChildren() const override { return dir_->hasChildren(id_); }
    Level children(std::span<const ClassId> filter) const override {
        Level level;
        for (const EntryId child : dir_->children(id_)) {
            if (!filter.empty() &&
                std::find(filter.begin(), filter.end(), dir_->classOf(child)) == filter.end())
                continue;
            level.entries.push_back(std::make_shared<LdifEntry>(dir_, child));
        }
        return level;
    }

    const DirectoryPtr& directory() const { return dir_; }
    EntryId id() const { return id_; }

private:
    DirectoryPtr dir_;
    EntryId id_;
    std::shared_ptr<const Schema> schema_;  // shares ownership of dir_
};

// The hits keep the data they were found in, so they still name what the
// search found once the file has changed or gone.
class DirectoryHitNames final : public HitNames {
public:
    DirectoryHitNames(DirectoryPtr directory, std::vector<EntryId> hits)
        : directory_(std::move(directory)), hits_(std::move(hits)) {}
    std::size_t size() const override { return hits_.size(); }
    std::string at(std::size_t index) const override { return directory_->fullName(hits_[index]); }

private:
    DirectoryPtr directory_;
    std::vector<EntryId> hits_;
};

class LdifSource : public Source {
public:
    LdifSource(std::string path, LoadLimits limits)
        : path_(std::move(path)), limits_(std::move(limits)) {}

    std::shared_ptr<const Schema> schema() override {
        DirectoryPtr dir = current();
        const Schema* schema = &dir->schema();
        return {std::move(dir), schema};
    }

    std::vector<std::string> trees() override {
        const DirectoryPtr dir = current();
        std::vector<std::string> names;
        for (const EntryId tree : dir->trees()) names.emplace_back(dir->name(tree));
        return names;
    }

    EntryPtr find(std::string_view fullName) override {
        DirectoryPtr dir = current();
        const EntryId id = dir->find(fullName);
        if (id == kNoEntry) return nullptr;
        return std::make_shared<LdifEntry>(std::move(dir), id);
    }

    SearchHits search(const SourceEntry& context, const SourceQuery& query) override {
        // The context's own data: it was read from this source a moment ago.
        const auto& entry = dynamic_cast<const LdifEntry&>(context);
        const Directory& dir = *entry.directory();
        SearchQuery q;
        q.pattern = query.pattern;
        for (const ClassId id : query.classes)
            q.classes.push_back(dir.schema().objectClass(id).name);
        q.scope = query.scope;
        q.context = entry.id();
        return {std::make_shared<DirectoryHitNames>(entry.directory(), dir.search(q)), false};
    }

private:
    DirectoryPtr current() {
        const LoadResult result = DirectoryCache::instance().get(path_, limits_);
        if (!result.ok()) throw SourceLost(result.error.describe());
        return result.directory;
    }

    std::string path_;
    LoadLimits limits_;
};

}  // namespace

std::shared_ptr<Source> openLdifSource(const std::string& path, const LoadLimits& limits) {
    auto source = std::make_shared<LdifSource>(path, limits);
    source->trees();  // reads it now, so that a source that cannot be read is refused at once
    return source;
}

}  // namespace outside::directory
