// The window of quillon-host: a design-time container for one control. It
// creates the control by ProgID with the container's user mode false, shows
// its drawing (at its own size and magnified), lists its properties with
// their current values, and opens the control's property pages in a frame.
#pragma once

#include <QMainWindow>
#include <QString>

#include <memory>
#include <string>

#include "platform/automation/object.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace platform::framework {
class ControlBase;
class PropertyFrame;
}  // namespace platform::framework

namespace quillonhost {

namespace pa = platform::automation;

class HostWindow : public QMainWindow {
public:
    explicit HostWindow(const std::string& progId, QWidget* parent = nullptr);
    ~HostWindow() override;

    // Null when the object could not be created (statusText() says why).
    pa::Object* object() const { return object_.get(); }
    platform::framework::ControlBase* control() const { return control_; }
    QTreeWidget* propertyList() const { return properties_; }
    QPushButton* propertiesButton() const { return propertiesButton_; }
    QString statusText() const;

    // Opens the control's pages in a frame over this window and returns it
    // (it deletes itself when closed); null when the pages cannot be made.
    platform::framework::PropertyFrame* openProperties();
    // Reads every property again.
    void refreshProperties();

private:
    class Site;
    class ControlView;
    void showStatus(const QString& text);
    void scheduleRefresh();

    std::string progId_;
    QString className_;
    std::unique_ptr<Site> site_;
    pa::Ref<pa::Object> object_;
    platform::framework::ControlBase* control_ = nullptr;
    ControlView* view_ = nullptr;
    QTreeWidget* properties_ = nullptr;
    QPushButton* propertiesButton_ = nullptr;
    QLabel* status_ = nullptr;
    bool refreshPending_ = false;
};

}  // namespace quillonhost
