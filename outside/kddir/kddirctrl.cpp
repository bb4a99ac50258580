// The directory control: context, class filter, entries and searches over
// the directory data of the configured source.
#include "outside/kddir/kddirctrl.h"

#include "outside/directory/cache.h"
#include "outside/directory/fullname.h"
#include "outside/kddir/objects.h"
#include "platform/text/casefold.h"

namespace outside::kddir {

using namespace platform::automation;
namespace dir = outside::directory;

namespace {

constexpr const char* kSource = "KDDirLib";

[[noreturn]] void raise(int code, const std::string& text) {
    throw AutomationError(code, text, 0, kSource);
}

std::string trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

// The full names of a search's hits, each built when it is read: a prefix
// as short as "*" may match every entry of a large directory. The hits keep
// the data they were found in.
class HitNames final : public LazyArray {
public:
    HitNames(DirectoryPtr directory, std::vector<dir::EntryId> hits)
        : directory_(std::move(directory)), hits_(std::move(hits)) {}
    std::size_t size() const override { return hits_.size(); }
    Variant at(std::size_t index) const override {
        return Variant(directory_->fullName(hits_[index]));
    }

private:
    DirectoryPtr directory_;
    std::vector<dir::EntryId> hits_;
};

}  // namespace

DirectoryPtr loadSource(const std::string& source, const dir::LoadLimits& limits) {
    const dir::LoadResult result = dir::DirectoryCache::instance().get(source, limits);
    // The code says the source is lost; the text says where and why.
    if (!result.ok()) raise(code::SourceLost, result.error.describe());
    return result.directory;
}

std::vector<dir::ClassId> parseClassList(const dir::Directory& directory, std::string_view list) {
    std::vector<dir::ClassId> classes;
    std::size_t start = 0;
    while (start <= list.size()) {
        const auto comma = list.find(',', start);
        const std::string name = trim(list.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (!name.empty()) {
            if (const auto id = directory.schema().findClass(name)) classes.push_back(*id);
        }
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return classes;
}

void KDDirCtrl::describe(MapBuilder<KDDirCtrl>& b) {
    b.property(1, "ClassFilter", &KDDirCtrl::classFilter, &KDDirCtrl::setClassFilter)
        .help("The classes that enumerations and searches return, joined by \", \".");
    b.property(2, "ContextPath", &KDDirCtrl::contextPath, &KDDirCtrl::setContextPath)
        .help("The full name of the context where enumerations start.");
    b.method(3, "TreeOf", &KDDirCtrl::treeOf, {"FullName"})
        .help("The tree name of a full name, without prefix.");
    b.method(4, "RootPath", &KDDirCtrl::rootPath, {"TreeName", optional("Context")})
        .help("The full name of a tree's root.");
    b.property(5, "CurrentEntry", &KDDirCtrl::currentEntry).help("The entry at the context.");
    b.property(6, "EntriesBelow", &KDDirCtrl::entriesBelow)
        .help("The entries one level below the context, in directory order.");
    b.method(7, "OpenEntry", &KDDirCtrl::openEntry, {"FullName"}).help("The entry of a full name.");
    b.method(8, "StartSearch", &KDDirCtrl::startSearch,
             {"Pattern", "Classes", "Scope", byRef("Context"), optional("Flags")})
        .help("Searches by name; SearchCompleted answers before the call returns.");
    b.property(9, "Layouts", &KDDirCtrl::layouts).help("The layouts (classes) of the schema.");
    b.property(10, "FieldTypes", &KDDirCtrl::fieldTypes).help("The field types of the schema.");
}

KDDirCtrl::KDDirCtrl()
    : source_(configuredSource()),
      limits_(configuredLimits().limits),
      events_({kEventsIid, "_DKDDirCtrlEvents"}) {
    if (source_.empty())
        raise(code::NoClient,
              "No directory client is configured: set KDDIR_SOURCE or the registry value " +
                  std::string(kSourceKey) + "\\" + kSourceValue);
    if (const std::string why = unsupportedSource(source_); !why.empty())
        raise(code::SourceLost, why);
    data();
}

DirectoryPtr KDDirCtrl::data() {
    return loadSource(source_, limits_);
}

dir::EntryId KDDirCtrl::entryOf(const dir::Directory& directory, std::string_view fullName) const {
    const dir::EntryId id = directory.find(trim(fullName));
    if (id == dir::kNoEntry)
        raise(code::NoSuchObject, "No object is named '" + std::string(fullName) + "'");
    return id;
}

dir::EntryId KDDirCtrl::contextEntry(const dir::Directory& directory) {
    if (context_.empty()) {
        if (directory.trees().empty()) raise(code::NoSuchObject, "The directory holds no tree");
        return directory.trees().front();
    }
    return entryOf(directory, context_);
}

void KDDirCtrl::setClassFilter(std::string filter) {
    classFilter_ = std::move(filter);
}

std::string KDDirCtrl::contextPath() {
    const DirectoryPtr directory = data();
    if (context_.empty()) return directory->fullName(contextEntry(*directory));
    const dir::EntryId id = directory->find(context_);
    return id == dir::kNoEntry ? context_ : directory->fullName(id);
}

void KDDirCtrl::setContextPath(std::string fullName) {
    const DirectoryPtr directory = data();
    context_ = directory->fullName(entryOf(*directory, fullName));
}

std::string KDDirCtrl::treeOf(std::string fullName) {
    const std::string trimmed = trim(fullName);  // the names below point into it
    const auto names = dir::splitFullName(trimmed);
    if (!names) raise(code::NoSuchObject, "'" + fullName + "' is not a full name");
    const DirectoryPtr directory = data();
    const dir::EntryId tree = directory->findTree(names->front());
    return tree == dir::kNoEntry ? std::string(names->front()) : std::string(directory->name(tree));
}

std::string KDDirCtrl::rootPath(std::string treeName, std::optional<std::string>) {
    const DirectoryPtr directory = data();
    const dir::EntryId tree = directory->findTree(trim(treeName));
    if (tree == dir::kNoEntry) raise(code::NoSuchObject, "No tree is named '" + treeName + "'");
    return directory->fullName(tree);
}

Variant KDDirCtrl::currentEntry() {
    const DirectoryPtr directory = data();
    return Variant(
        make<Entry>(directory, contextEntry(*directory), parseClassList(*directory, classFilter_)));
}

Variant KDDirCtrl::entriesBelow() {
    const DirectoryPtr directory = data();
    return outside::kddir::entriesBelow(directory, contextEntry(*directory),
                                        parseClassList(*directory, classFilter_));
}

Variant KDDirCtrl::openEntry(std::string fullName) {
    const DirectoryPtr directory = data();
    return Variant(make<Entry>(directory, entryOf(*directory, fullName),
                               parseClassList(*directory, classFilter_)));
}

void KDDirCtrl::startSearch(std::string pattern, std::string classes, std::int32_t scope,
                            Variant context, std::optional<std::int32_t>) {
    if (scope != 1 && scope != 2)
        throw AutomationError::standard(error::InvalidCall, "the scope is 1 or 2");
    // A search replaces the filter, as the classes of the hits are the filter's.
    classFilter_ = classes;
    const DirectoryPtr directory = data();
    const std::string contextName = context.isMissing() ? std::string() : context.toString();
    const dir::EntryId start =
        contextName.empty() ? contextEntry(*directory) : entryOf(*directory, contextName);

    dir::SearchQuery query;
    query.pattern = pattern;
    for (const dir::ClassId id : parseClassList(*directory, classes))
        query.classes.push_back(directory->schema().objectClass(id).name);
    query.scope = scope == 1 ? dir::Scope::OneLevel : dir::Scope::Subtree;
    query.context = start;
    Variant results;  // Empty when nothing matched
    // Classes named in the list but unknown to the schema match nothing.
    if (!query.classes.empty() || trim(classes).empty()) {
        auto hits = directory->search(query);
        if (!hits.empty())
            results = Variant::lazyArray(std::make_shared<HitNames>(directory, std::move(hits)));
    }
    events_.fire(kEventsIid, kSearchCompleted, {results});
}

Variant KDDirCtrl::layouts() {
    return layoutsOf(data());
}

Variant KDDirCtrl::fieldTypes() {
    return fieldTypesOf(data());
}

}  // namespace outside::kddir
