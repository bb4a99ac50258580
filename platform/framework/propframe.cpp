// The property frame.
#include "platform/framework/propframe.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <optional>

#include "platform/automation/create.h"
#include "platform/automation/error.h"
#include "platform/registry/classes.h"

namespace platform::framework {

PropertyFrame::PropertyFrame(const QString& objectName, std::vector<pa::Ref<pa::Object>> objects,
                             std::vector<pa::Ref<PropertyPageObject>> pages, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(objectName + " Properties");
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget;
    layout->addWidget(tabs_);
    status_ = new QLabel;
    status_->setWordWrap(true);
    status_->setStyleSheet("color: #a00000");
    status_->hide();
    layout->addWidget(status_);

    auto* buttons = new QDialogButtonBox;
    ok_ = buttons->addButton(QDialogButtonBox::Ok);
    cancel_ = buttons->addButton(QDialogButtonBox::Cancel);
    apply_ = buttons->addButton(QDialogButtonBox::Apply);
    layout->addWidget(buttons);
    connect(ok_, &QPushButton::clicked, this, [this] {
        if (apply()) accept();
    });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(apply_, &QPushButton::clicked, this, [this] { apply(); });

    for (auto& object : pages) {
        std::unique_ptr<PropertyPage> widget = object->createPage();
        PropertyPage* page = widget.release();  // the tab widget owns it
        connect(page, &PropertyPage::modifiedChanged, this, &PropertyFrame::updateApply);
        connect(page, &PropertyPage::failed, this, &PropertyFrame::showFailure);
        tabs_->addTab(page, page->caption());
        pages_.push_back({std::move(object), page});
        page->setObjects(objects);
    }
    updateApply();
}

PropertyFrame::~PropertyFrame() {
    // The pages' widgets go before the objects that made them.
    delete tabs_;
}

std::vector<pa::Ref<PropertyPageObject>> PropertyFrame::createPages(
    const std::vector<std::string>& clsids) {
    std::vector<pa::Ref<PropertyPageObject>> pages;
    if (clsids.empty()) return pages;
    std::optional<registry::ClassStores> stores;
    try {
        stores.emplace(registry::ClassStores::openDefault());
    } catch (const std::exception& e) {
        throw pa::AutomationError::standard(pa::error::CannotCreateObject, e.what());
    }
    for (const std::string& clsid : clsids) {
        pa::Ref<pa::Object> object = pa::createObjectFromClsid(*stores, clsid);
        auto* page = dynamic_cast<PropertyPageObject*>(object.get());
        if (!page)
            throw pa::AutomationError::standard(pa::error::CannotCreateObject,
                                                clsid + " is no property page");
        pages.emplace_back(page);
    }
    return pages;
}

PropertyPage* PropertyFrame::page(int index) const {
    return index >= 0 && index < pageCount() ? pages_[static_cast<std::size_t>(index)].widget
                                             : nullptr;
}

QString PropertyFrame::statusText() const {
    return status_->text();
}

bool PropertyFrame::apply() {
    status_->clear();
    status_->hide();
    for (const Page& p : pages_) {
        if (!p.widget->isModified()) continue;
        try {
            p.widget->apply();
        } catch (const pa::AutomationError& e) {
            tabs_->setCurrentWidget(p.widget);
            showFailure(p.widget->caption() + ": " + errorText(e));
            updateApply();
            return false;
        }
    }
    updateApply();
    return true;
}

void PropertyFrame::updateApply() {
    bool modified = false;
    for (const Page& p : pages_) modified = modified || p.widget->isModified();
    apply_->setEnabled(modified);
}

void PropertyFrame::showFailure(const QString& reason) {
    status_->setText(reason);
    status_->show();
}

}  // namespace platform::framework
