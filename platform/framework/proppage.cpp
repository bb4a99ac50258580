// The property page base: bound check boxes, the modified state, apply.
#include "platform/framework/proppage.h"

#include <QCheckBox>

#include "platform/framework/dialogunits.h"

namespace platform::framework {

QString errorText(const pa::AutomationError& error) {
    return QString("error %1: %2")
        .arg(error.code())
        .arg(QString::fromStdString(error.description()));
}

PropertyPage::PropertyPage(QString caption, QSize dialogSize, QWidget* parent)
    : QWidget(parent), caption_(std::move(caption)) {
    setFont(dialogFont());
    size_ = dialogUnitsToPixels(dialogSize, font());
    setMinimumSize(size_);
}

PropertyPage::~PropertyPage() = default;

void PropertyPage::place(QWidget* child, int x, int y, int width, int height) {
    child->setParent(this);
    child->setGeometry(dialogUnitsToPixels(QRect(x, y, width, height), font()));
}

void PropertyPage::bindCheck(QCheckBox* box, std::string property) {
    bindings_.push_back({box, std::move(property)});
    connect(box, &QCheckBox::toggled, this, [this] {
        if (!loading_) setModified(true);
    });
}

void PropertyPage::setModified(bool modified) {
    if (modified_ == modified) return;
    modified_ = modified;
    emit modifiedChanged(modified);
}

void PropertyPage::setObjects(std::vector<pa::Ref<pa::Object>> objects) {
    objects_ = std::move(objects);
    load();
    onObjectsChanged();
}

void PropertyPage::load() {
    loading_ = true;
    QString firstFailure;
    int failures = 0;
    for (const Binding& b : bindings_) {
        bool value = false;
        if (!objects_.empty()) {
            try {
                value = objects_.front()->get(b.property).toBool();
            } catch (const pa::AutomationError& e) {
                if (failures++ == 0)
                    firstFailure =
                        QString::fromStdString(b.property) + " cannot be read: " + errorText(e);
            }
        }
        b.box->setChecked(value);
    }
    loading_ = false;
    setModified(false);
    // One report for the page, however many properties the objects lack.
    if (failures > 1) firstFailure += QString(" (and %1 more properties)").arg(failures - 1);
    if (failures) reportFailure(firstFailure);
}

void PropertyPage::apply() {
    for (const auto& object : objects_)
        for (const Binding& b : bindings_) object->put(b.property, pa::Variant(b.box->isChecked()));
    onApply();
    setModified(false);
}

}  // namespace platform::framework
