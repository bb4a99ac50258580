// Late-bound calls to the directory control and its entries.
#include "app/lookup/KDDirCtrl.h"

#include "platform/automation/enumerator.h"
#include "platform/automation/error.h"
#include "platform/automation/events.h"

namespace tvn {

namespace pa = platform::automation;

namespace {

pa::Variant text(const QString& s) {
    return pa::Variant(s.toStdString());
}
QString text(const pa::Variant& v) {
    return QString::fromStdString(v.toString());
}

std::vector<KDDirEntry> entries(const pa::Variant& collection) {
    std::vector<KDDirEntry> out;
    const pa::Ref<pa::Object> object = collection.toObject();
    if (!object) return out;
    for (const pa::Variant& item : pa::enumerate(*object)) out.emplace_back(item.toObject());
    return out;
}

// SubEntries of an entry without subordinates is empty (or Nothing).
bool isCollection(const pa::Variant& v) {
    return !v.isEmpty() && !v.isNull() && !v.isNothing();
}

}  // namespace

KDDirEntry::KDDirEntry(pa::Ref<pa::Object> entry) : entry_(std::move(entry)) {
    if (!entry_) throw pa::AutomationError::standard(pa::error::ObjectNotSet);
}

QString KDDirEntry::EntryPath() const {
    return text(entry_->get("EntryPath"));
}
QString KDDirEntry::EntryName() const {
    return text(entry_->get("EntryName"));
}

QString KDDirEntry::LayoutName() const {
    return text(entry_->get("Layout").toObject()->get("Name"));
}

QStringList KDDirEntry::GetFieldValue(const QString& field) const {
    QStringList out;
    for (const std::optional<QString>& value : GetFieldValues(field))
        out.append(value.value_or(""));
    return out;
}

std::vector<std::optional<QString>> KDDirEntry::GetFieldValues(const QString& field) const {
    const pa::Variant values =
        entry_->call("GetFieldValue", {text(field), pa::Variant(std::string()), pa::Variant(true)});
    auto one = [](const pa::Variant& v) {
        return v.isNull() ? std::nullopt : std::optional<QString>(text(v));
    };
    std::vector<std::optional<QString>> out;
    if (values.isArray())
        for (const pa::Variant& v : values.array()) out.push_back(one(v));
    else
        out.push_back(one(values));
    return out;
}

std::vector<KDDirEntry> KDDirEntry::SubEntries() const {
    const pa::Variant sub = entry_->get("SubEntries");
    if (!isCollection(sub)) return {};
    return entries(sub);
}

bool KDDirEntry::hasSubEntries() const {
    return isCollection(entry_->get("SubEntries"));
}

KDDirCtrl::KDDirCtrl(pa::Ref<pa::Object> control) : control_(std::move(control)) {
    if (!control_) throw pa::AutomationError::standard(pa::error::ObjectNotSet);
}

KDDirCtrl::~KDDirCtrl() {
    if (cookie_) pa::unadvise(*control_, cookie_);
}

void KDDirCtrl::setClassFilter(const QString& classes) {
    control_->put("ClassFilter", text(classes));
}
QString KDDirCtrl::ContextPath() const {
    return text(control_->get("ContextPath"));
}
void KDDirCtrl::setContextPath(const QString& fullName) {
    control_->put("ContextPath", text(fullName));
}
QString KDDirCtrl::TreeOf(const QString& fullName) const {
    return text(control_->call("TreeOf", {text(fullName)}));
}
QString KDDirCtrl::RootPath(const QString& tree) const {
    return text(control_->call("RootPath", {text(tree), pa::Variant(std::string())}));
}
KDDirEntry KDDirCtrl::CurrentEntry() const {
    return KDDirEntry(control_->get("CurrentEntry").toObject());
}
std::vector<KDDirEntry> KDDirCtrl::EntriesBelow() const {
    return entries(control_->get("EntriesBelow"));
}
KDDirEntry KDDirCtrl::OpenEntry(const QString& fullName) const {
    return KDDirEntry(control_->call("OpenEntry", {text(fullName)}).toObject());
}

QString KDDirCtrl::FieldTypeName(const QString& name) const {
    const pa::Ref<pa::Object> types = control_->get("FieldTypes").toObject();
    return text(types->call("Item", {text(name)}).toObject()->get("Name"));
}

QStringList KDDirCtrl::LayoutFields(const QString& layout) const {
    // A schema without the layout answers Nothing (or no object at all).
    auto object = [](const pa::Variant& v) { return v.isObject() ? v.toObject() : nullptr; };
    QStringList names;
    const pa::Ref<pa::Object> layouts = object(control_->get("Layouts"));
    if (!layouts) return names;
    const pa::Ref<pa::Object> one = object(layouts->call("Item", {text(layout)}));
    if (!one) return names;
    const pa::Ref<pa::Object> fields = object(one->get("Fields"));
    if (!fields) return names;
    for (const pa::Variant& field : pa::enumerate(*fields))
        names.append(text(field.toObject()->get("Name")));
    return names;
}

int KDDirCtrl::LimitedTo() const {
    try {
        return control_->get("LimitedTo").toInt32();
    } catch (const pa::AutomationError& e) {
        // A control without the property never cuts a list short.
        if (e.code() == pa::error::MemberNotFound) return 0;
        throw;
    }
}

QString KDDirCtrl::limitNotice() const {
    const int returned = LimitedTo();
    if (returned <= 0) return {};
    return QString("The directory server returned only %1 of the entries").arg(returned);
}

void KDDirCtrl::StartSearch(const QString& pattern, const QString& classes, int scope,
                            QString& context) {
    pa::Variant where = text(context);
    control_->call("StartSearch", {text(pattern), text(classes), static_cast<std::int32_t>(scope),
                                   pa::Variant::byRef(where), static_cast<std::int32_t>(1)});
    context = text(where);
}

void KDDirCtrl::onSearchCompleted(SearchCompleted handler) {
    searchCompleted_ = std::move(handler);
    if (cookie_) return;
    cookie_ = pa::advise(*control_, [this](pa::DispId event, const pa::Args& args) {
        if (event == kSearchCompletedDispId && searchCompleted_)
            searchCompleted_(args.empty() ? pa::Variant() : args.front());
    });
}

}  // namespace tvn
