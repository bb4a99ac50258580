// The typed binding of the directory control KDDirLib.KDDirCtrl.1: tvn reads
// the directory only through these classes, and the late-bound calls by name
// sit here and nowhere else. Failures arrive as the control raised them
// (600 connection lost, 601 no such object, 603 no such field type).
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace tvn {

// One directory object as the control hands it out.
class KDDirEntry {
public:
    explicit KDDirEntry(platform::automation::Ref<platform::automation::Object> entry);

    QString EntryPath() const;  // the full name
    QString EntryName() const;  // its own relative name
    // The Name of its Layout: the class ("User", "Workstation", ...).
    QString LayoutName() const;
    // The values of a field, read with an empty default and all values; the
    // first is "" when the field has none. A null value reads as "".
    QStringList GetFieldValue(const QString& field) const;
    // The same values with a null value (as a directory may hold) kept apart.
    std::vector<std::optional<QString>> GetFieldValues(const QString& field) const;
    // The entries below it; empty when it has none.
    std::vector<KDDirEntry> SubEntries() const;
    // Whether SubEntries is a collection (possibly one that the class filter
    // leaves empty) rather than nothing: the entry has subordinates.
    bool hasSubEntries() const;

private:
    platform::automation::Ref<platform::automation::Object> entry_;
};

class KDDirCtrl {
public:
    static constexpr const char* kProgId = "KDDirLib.KDDirCtrl.1";
    // Scopes of StartSearch.
    static constexpr int kScopeContainer = 1;
    static constexpr int kScopeSubtree = 2;

    explicit KDDirCtrl(platform::automation::Ref<platform::automation::Object> control);
    ~KDDirCtrl();
    KDDirCtrl(const KDDirCtrl&) = delete;
    KDDirCtrl& operator=(const KDDirCtrl&) = delete;

    void setClassFilter(const QString& classes);  // names joined by ", "
    QString ContextPath() const;
    void setContextPath(const QString& fullName);
    QString TreeOf(const QString& fullName) const;
    QString RootPath(const QString& tree) const;
    KDDirEntry CurrentEntry() const;
    std::vector<KDDirEntry> EntriesBelow() const;
    KDDirEntry OpenEntry(const QString& fullName) const;
    // Name of the field type `name` (FieldTypes.Item(name).Name).
    QString FieldTypeName(const QString& name) const;
    // The Name of every field of a layout ("user", "workstation"); empty when
    // the schema has no such layout.
    QStringList LayoutFields(const QString& layout) const;

    // How many entries the last list or search of this control (or of an
    // entry it handed out) returned when the directory server's size limit
    // cut it short; 0 when nothing was cut or the control cannot tell.
    int LimitedTo() const;
    // The status text for such a cut ("" when there was none).
    QString limitNotice() const;

    // Starts a search below context (passed by reference, as the control
    // takes it); the control answers through the SearchCompleted handler.
    void StartSearch(const QString& pattern, const QString& classes, int scope, QString& context);

    // SearchCompleted(Results): a zero-based array of full names, or an empty
    // value when nothing matched. One handler; a new one replaces the old.
    using SearchCompleted = std::function<void(const platform::automation::Variant& results)>;
    void onSearchCompleted(SearchCompleted handler);

    platform::automation::Object& object() const { return *control_; }

private:
    // The DISPID under which the control fires SearchCompleted.
    static constexpr int kSearchCompletedDispId = 1;

    platform::automation::Ref<platform::automation::Object> control_;
    SearchCompleted searchCompleted_;
    unsigned cookie_ = 0;
};

}  // namespace tvn
