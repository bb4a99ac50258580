// Property pages: the widget a design tool shows to edit the properties of
// one or more objects, and the automation class that makes it. A page reads
// its controls from the first object when the objects are handed to it and,
// when the frame applies it, writes them to every object through late-bound
// puts. Check boxes bound to Boolean properties are handled here; a page adds
// its own loading and applying for anything else.
//
// The creatable class of a page is a PropertyPageObject; a server offers
//     PropertyPageClass<MyPage>::create
// as the factory of the page's class id.
#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "platform/automation/error.h"
#include "platform/automation/object.h"

class QCheckBox;

namespace platform::framework {

namespace pa = platform::automation;

class PropertyPage : public QWidget {
    Q_OBJECT
public:
    // The page's tab caption and its size in dialog units of dialogFont().
    PropertyPage(QString caption, QSize dialogSize, QWidget* parent = nullptr);
    ~PropertyPage() override;

    const QString& caption() const { return caption_; }

    // The objects the page edits; the page's controls are read from the
    // first at once. A property that cannot be read is reported by failed().
    void setObjects(std::vector<pa::Ref<pa::Object>> objects);
    const std::vector<pa::Ref<pa::Object>>& objects() const { return objects_; }

    bool isModified() const { return modified_; }
    // Writes the page to every object; the page stays modified when an
    // object refuses a value (AutomationError reaches the caller).
    void apply();

    QSize sizeHint() const override { return size_; }

signals:
    void modifiedChanged(bool modified);
    // Something the user asked for did not happen; the frame shows why.
    void failed(const QString& reason);

protected:
    // Places a child at a rectangle given in dialog units.
    void place(QWidget* child, int x, int y, int width, int height);
    // A check box that edits a Boolean property of the objects.
    void bindCheck(QCheckBox* box, std::string property);
    void setModified(bool modified = true);
    void reportFailure(const QString& reason) { emit failed(reason); }

    // Extra loading after the bound controls were read, and extra writing
    // after they were written.
    virtual void onObjectsChanged() {}
    virtual void onApply() {}

private:
    struct Binding {
        QCheckBox* box;
        std::string property;
    };
    void load();

    QString caption_;
    QSize size_;
    std::vector<pa::Ref<pa::Object>> objects_;
    std::vector<Binding> bindings_;
    bool loading_ = false;
    bool modified_ = false;
};

// "error N: text", as pages and frames report what an object refused.
QString errorText(const pa::AutomationError& error);

// The automation object behind a page's class id: it makes the page widget.
class PropertyPageObject : public pa::Object {
public:
    virtual std::unique_ptr<PropertyPage> createPage() = 0;

protected:
    explicit PropertyPageObject(pa::Module* module) : pa::Object(module) {}
};

// The class of a page type: objects made in a server library count as that
// library's, as every other object does.
template <typename Page>
class PropertyPageClass final : public PropertyPageObject {
public:
    static pa::Ref<pa::Object> create() {
        return pa::Ref<pa::Object>(new PropertyPageClass(pa::detail::currentModule()));
    }
    std::unique_ptr<PropertyPage> createPage() override { return std::make_unique<Page>(); }

private:
    explicit PropertyPageClass(pa::Module* module) : PropertyPageObject(module) {}
};

}  // namespace platform::framework
