// The directory control: context, class filter, entries and searches over
// the directory data of the configured source.
#include "outside/kddir/kddirctrl.h"

#include "outside/directory/cache.h"
#include "outside/directory/fullname.h"
#include "outside/kddir/objects.h"

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

// A search's answer: each hit's full name is read from the source's hits
// when it is asked for, and a server's further pages when the caller reads
// on. A limit met on a later page is noted as on the first.
class HitArray final : public LazyArray {
public:
    HitArray(std::shared_ptr<const dir::HitNames> names, std::shared_ptr<LimitNote> note)
        : names_(std::move(names)), note_(std::move(note)) {}
    std::size_t size() const override { return names_->size(); }
    Variant at(std::size_t index) const override { return Variant(names_->at(index)); }
    bool complete() const override { return names_->complete(); }
    void readMore() const override {
        readingSource([&] { names_->readMore(); });
        if (names_->limited()) note_->record(true, names_->size());
    }

private:
    std::shared_ptr<const dir::HitNames> names_;
    std::shared_ptr<LimitNote> note_;
};

}  // namespace

std::vector<dir::ClassId> parseClassList(const dir::Schema& schema, std::string_view list) {
    std::vector<dir::ClassId> classes;
    std::size_t start = 0;
    while (start <= list.size()) {
        const auto comma = list.find(',', start);
        const std::string name = trim(list.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (!name.empty()) {
            if (const auto id = schema.findClass(name)) classes.push_back(*id);
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
    b.property(11, "LimitedTo", &KDDirCtrl::limitedTo)
        .help(
            "The entries the last list or search returned when a server limit cut it short; "
            "0 when nothing was cut.");
    b.property(12, "BoundAs", &KDDirCtrl::boundAs)
        .help(
            "Who the directory server sees this client as: its WhoAmI answer, or the identity "
            "the client authenticated as; empty for a file.");
}

KDDirCtrl::KDDirCtrl() : events_({kEventsIid, "_DKDDirCtrlEvents"}) {
    const std::string location = configuredSource();
    if (location.empty()) raise(code::NoClient, noSourceReason());
    try {
        source_ = readingSource([&] { return dir::openSource(location, configuredOptions()); });
    } catch (const std::invalid_argument& refused) {
        raise(code::SourceLost, refused.what());
    }
}

std::string KDDirCtrl::boundAs() {
    return readingSource([&] { return source_->boundAs(); }).value_or("");
}

std::vector<dir::ClassId> KDDirCtrl::filterIds() {
    return parseClassList(*readingSource([&] { return source_->schema(); }), classFilter_);
}

dir::EntryPtr KDDirCtrl::entryOf(std::string_view fullName) {
    dir::EntryPtr entry = readingSource([&] { return source_->find(trim(fullName)); });
    if (!entry) raise(code::NoSuchObject, "No object is named '" + std::string(fullName) + "'");
    return entry;
}

dir::EntryPtr KDDirCtrl::contextEntry() {
    if (context_.empty()) {
        const auto trees = readingSource([&] { return source_->trees(); });
        if (trees.empty()) raise(code::NoSuchObject, "The directory holds no tree");
        return entryOf(dir::joinFullName({trees.front()}));
    }
    return entryOf(context_);
}

Variant KDDirCtrl::entryObject(dir::EntryPtr entry) {
    // The filter in the schema of the data the entry came from: asking the
    // source for its schema again would look at the source once more for
    // every entry opened.
    std::vector<dir::ClassId> filter = parseClassList(*entry->schema(), classFilter_);
    return Variant(make<Entry>(std::move(entry), std::move(filter), note_));
}

void KDDirCtrl::setClassFilter(std::string filter) {
    classFilter_ = std::move(filter);
}

std::string KDDirCtrl::contextPath() {
    if (context_.empty()) return contextEntry()->fullName();
    const dir::EntryPtr entry = readingSource([&] { return source_->find(trim(context_)); });
    return entry ? entry->fullName() : context_;
}

void KDDirCtrl::setContextPath(std::string fullName) {
    context_ = entryOf(fullName)->fullName();
}

std::string KDDirCtrl::treeOf(std::string fullName) {
    const std::string trimmed = trim(fullName);  // the names below point into it
    const auto names = dir::splitFullName(trimmed);
    if (!names) raise(code::NoSuchObject, "'" + fullName + "' is not a full name");
    const auto tree = readingSource([&] { return source_->findTree(names->front()); });
    return tree.value_or(std::string(names->front()));
}

std::string KDDirCtrl::rootPath(std::string treeName, std::optional<std::string>) {
    const auto tree = readingSource([&] { return source_->findTree(trim(treeName)); });
    if (!tree) raise(code::NoSuchObject, "No tree is named '" + treeName + "'");
    return dir::joinFullName({*tree});
}

Variant KDDirCtrl::currentEntry() {
    return entryObject(contextEntry());
}

Variant KDDirCtrl::entriesBelow() {
    const dir::EntryPtr context = contextEntry();
    return outside::kddir::entriesBelow(*context, filterIds(), note_);
}

Variant KDDirCtrl::openEntry(std::string fullName) {
    return entryObject(entryOf(fullName));
}

void KDDirCtrl::startSearch(std::string pattern, std::string classes, std::int32_t scope,
                            Variant context, std::optional<std::int32_t>) {
    if (scope != 1 && scope != 2)
        throw AutomationError::standard(error::InvalidCall, "the scope is 1 or 2");
    // A search replaces the filter, as the classes of the hits are the filter's.
    classFilter_ = classes;
    const std::string contextName = context.isMissing() ? std::string() : context.toString();
    const dir::EntryPtr start = contextName.empty() ? contextEntry() : entryOf(contextName);

    dir::SourceQuery query;
    query.pattern = pattern;
    query.classes = parseClassList(*start->schema(), classes);
    query.scope = scope == 1 ? dir::Scope::OneLevel : dir::Scope::Subtree;
    Variant results;  // Empty when nothing matched
    note_->record(false, 0);
    // Classes named in the list but unknown to the schema match nothing.
    if (!query.classes.empty() || trim(classes).empty()) {
        const dir::SearchHits hits = readingSource([&] { return source_->search(*start, query); });
        note_->record(hits.limited, hits.names->size());
        if (hits.names->size() > 0)
            results = Variant::lazyArray(std::make_shared<HitArray>(hits.names, note_));
    }
    events_.fire(kEventsIid, kSearchCompleted, {results});
}

Variant KDDirCtrl::layouts() {
    return layoutsOf(readingSource([&] { return source_->schema(); }));
}

Variant KDDirCtrl::fieldTypes() {
    return fieldTypesOf(readingSource([&] { return source_->schema(); }));
}

}  // namespace outside::kddir
