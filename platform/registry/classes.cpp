// Look-ups over several registry stores, first answer wins.
#include "platform/registry/classes.h"

#include <filesystem>
#include <system_error>

namespace platform::registry {

namespace {

template <typename Lookup>
auto firstAnswer(const std::vector<Store*>& stores, Lookup lookup)
    -> decltype(lookup(std::declval<Registration&>())) {
    for (Store* store : stores) {
        Registration reg(*store);
        if (auto answer = lookup(reg)) return answer;
    }
    return std::nullopt;
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    const bool same = std::filesystem::equivalent(a, b, ec);
    return !ec && same;
}

}  // namespace

ClassStores::ClassStores(std::vector<Store*> stores) : stores_(std::move(stores)) {}
ClassStores::ClassStores(ClassStores&&) noexcept = default;
ClassStores& ClassStores::operator=(ClassStores&&) noexcept = default;
ClassStores::~ClassStores() = default;

ClassStores ClassStores::openDefault() {
    ClassStores view({});
    view.owned_.push_back(std::make_unique<Store>());
    const std::filesystem::path machine = Store::machinePath();
    std::error_code ec;
    if (std::filesystem::exists(machine, ec) && !sameFile(machine, view.owned_.front()->path()))
        view.owned_.push_back(
            std::make_unique<Store>(machine, std::chrono::seconds(2), Store::Access::ReadOnly));
    for (const auto& store : view.owned_) view.stores_.push_back(store.get());
    return view;
}

std::optional<std::string> ClassStores::clsidFromProgId(std::string_view progId) const {
    return firstAnswer(stores_, [&](Registration& reg) { return reg.clsidFromProgId(progId); });
}

std::optional<std::string> ClassStores::inprocServer(std::string_view clsid) const {
    return firstAnswer(stores_, [&](Registration& reg) { return reg.inprocServer(clsid); });
}

std::optional<ClassRegistration> ClassStores::findClass(std::string_view clsid) const {
    return firstAnswer(stores_, [&](Registration& reg) { return reg.findClass(clsid); });
}

std::optional<std::string> ClassStores::categoryDescription(std::string_view catid,
                                                            std::uint32_t locale) const {
    return firstAnswer(stores_,
                       [&](Registration& reg) { return reg.categoryDescription(catid, locale); });
}

std::string ClassStores::describe() const {
    std::string text;
    for (const Store* store : stores_)
        text += (text.empty() ? "" : ", then ") + store->path().string();
    return text;
}

std::optional<ClassStores::FoundTypeLibrary> ClassStores::findTypeLibrary(
    std::string_view guid, std::string_view version) const {
    std::optional<FoundTypeLibrary> best;
    for (Store* store : stores_) {
        auto found = Registration(*store).findTypeLibrary(guid, version);
        if (!found) continue;
        if (!version.empty()) return FoundTypeLibrary{std::move(*found), store};
        if (!best || Registration::versionOrder(found->version) >
                         Registration::versionOrder(best->registration.version))
            best = FoundTypeLibrary{std::move(*found), store};
    }
    return best;
}

}  // namespace platform::registry
