// The property frame: the tabbed dialog a design tool opens to edit objects
// through their property pages, with OK, Cancel and Apply. Apply is enabled
// while a page holds changes; OK applies them and closes, Cancel drops them.
// A change an object refuses keeps the frame open, with the reason in its
// status line.
#pragma once

#include <QDialog>
#include <QString>

#include <string>
#include <vector>

#include "platform/framework/proppage.h"

class QLabel;
class QPushButton;
class QTabWidget;

namespace platform::framework {

class PropertyFrame : public QDialog {
    Q_OBJECT
public:
    // `objectName` titles the frame ("<name> Properties"); one tab per page,
    // in the order given.
    PropertyFrame(const QString& objectName, std::vector<pa::Ref<pa::Object>> objects,
                  std::vector<pa::Ref<PropertyPageObject>> pages, QWidget* parent = nullptr);
    ~PropertyFrame() override;

    // Page objects by class id, created through the registry's in-process
    // servers. Raises AutomationError when a class cannot be created or is
    // no property page.
    static std::vector<pa::Ref<PropertyPageObject>> createPages(
        const std::vector<std::string>& clsids);

    int pageCount() const { return static_cast<int>(pages_.size()); }
    PropertyPage* page(int index) const;
    QTabWidget* tabs() const { return tabs_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* applyButton() const { return apply_; }
    QString statusText() const;

    // Applies every page that holds changes; false when an object refused
    // one (the reason is in the status line and that page keeps its changes).
    bool apply();

private:
    void updateApply();
    void showFailure(const QString& reason);

    struct Page {
        pa::Ref<PropertyPageObject> object;  // keeps the page's server loaded
        PropertyPage* widget;
    };
    std::vector<Page> pages_;
    QTabWidget* tabs_;
    QLabel* status_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QPushButton* apply_;
};

}  // namespace platform::framework
