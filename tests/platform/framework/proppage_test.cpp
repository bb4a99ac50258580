// Property pages and their frame on their own: dialog units, a page bound to
// a Boolean property of several objects (read from the first, written to
// all), and the frame's Apply, OK and Cancel, including a refused change.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>

#include "platform/automation/dispatch.h"
#include "platform/automation/error.h"
#include "platform/framework/dialogunits.h"
#include "platform/framework/propframe.h"

namespace {

namespace pa = platform::automation;
using namespace platform::framework;

class Flagged : public pa::Dispatchable<Flagged> {
public:
    static void describe(pa::MapBuilder<Flagged>& b) {
        b.property(
            1, "Flag", [](Flagged& f) { return f.flag; },
            [](Flagged& f, bool v) {
                if (f.refuses) throw pa::AutomationError(380, "Invalid property value");
                f.flag = v;
            });
    }
    bool flag = false;
    bool refuses = false;
};

class FlagPage : public PropertyPage {
public:
    FlagPage() : PropertyPage("Flags", QSize(100, 40)) {
        box = new QCheckBox("Flag");
        place(box, 10, 10, 60, 10);
        bindCheck(box, "Flag");
    }
    QCheckBox* box;
};

pa::Ref<PropertyPageObject> pageObject() {
    pa::Ref<pa::Object> object = PropertyPageClass<FlagPage>::create();
    return pa::Ref<PropertyPageObject>(dynamic_cast<PropertyPageObject*>(object.get()));
}

FlagPage* flagPage(PropertyFrame& frame) {
    return static_cast<FlagPage*>(frame.page(0));
}

TEST(DialogUnits, ScaleWithTheFont) {
    const QFont font = dialogFont();
    const QSize base = dialogBaseUnits(font);
    EXPECT_GT(base.width(), 0);
    EXPECT_GT(base.height(), 0);
    EXPECT_EQ(dialogUnitsToPixels(QSize(4, 8), font), base);
    EXPECT_EQ(dialogUnitsToPixels(QRect(4, 8, 40, 16), font),
              QRect(base.width(), base.height(), 10 * base.width(), 2 * base.height()));
    QFont bigger = font;
    bigger.setPointSize(16);
    EXPECT_GT(dialogUnitsToPixels(QSize(100, 100), bigger).width(),
              dialogUnitsToPixels(QSize(100, 100), font).width());
}

TEST(PropertyPages, ReadFromTheFirstObjectAndWriteToAll) {
    pa::Ref<Flagged> first(new Flagged), second(new Flagged);
    first->flag = true;
    FlagPage page;
    EXPECT_EQ(page.sizeHint(), dialogUnitsToPixels(QSize(100, 40), page.font()));
    EXPECT_EQ(page.box->geometry(), dialogUnitsToPixels(QRect(10, 10, 60, 10), page.font()));
    QSignalSpy modified(&page, &PropertyPage::modifiedChanged);
    page.setObjects({first, second});
    EXPECT_TRUE(page.box->isChecked());
    EXPECT_EQ(modified.count(), 0);  // loading is no change

    page.box->click();
    page.box->click();
    EXPECT_EQ(modified.count(), 1);
    EXPECT_TRUE(page.isModified());
    page.apply();
    EXPECT_TRUE(first->flag);
    EXPECT_TRUE(second->flag);
    EXPECT_FALSE(page.isModified());
    EXPECT_EQ(modified.count(), 2);
}

TEST(PropertyFrames, ApplyOkAndCancel) {
    pa::Ref<Flagged> object(new Flagged);
    PropertyFrame frame("Thing", {object}, {pageObject(), pageObject()});
    EXPECT_EQ(frame.windowTitle(), "Thing Properties");
    ASSERT_EQ(frame.pageCount(), 2);
    EXPECT_EQ(frame.tabs()->tabText(1), "Flags");
    EXPECT_EQ(frame.page(2), nullptr);
    EXPECT_FALSE(frame.applyButton()->isEnabled());

    flagPage(frame)->box->click();
    EXPECT_TRUE(frame.applyButton()->isEnabled());
    frame.applyButton()->click();
    EXPECT_TRUE(object->flag);
    EXPECT_FALSE(frame.applyButton()->isEnabled());

    flagPage(frame)->box->click();
    frame.cancelButton()->click();
    EXPECT_EQ(frame.result(), QDialog::Rejected);
    EXPECT_TRUE(object->flag);
}

TEST(PropertyFrames, ARefusedValueKeepsTheFrameOpenWithTheReason) {
    pa::Ref<Flagged> object(new Flagged);
    object->refuses = true;
    PropertyFrame frame("Thing", {object}, {pageObject()});
    frame.show();
    flagPage(frame)->box->click();
    frame.okButton()->click();
    EXPECT_TRUE(frame.isVisible());
    EXPECT_EQ(frame.statusText(), "Flags: error 380: Invalid property value");
    EXPECT_TRUE(frame.applyButton()->isEnabled());

    object->refuses = false;
    frame.okButton()->click();
    EXPECT_FALSE(frame.isVisible());
    EXPECT_EQ(frame.result(), QDialog::Accepted);
    EXPECT_TRUE(object->flag);
    EXPECT_EQ(frame.statusText(), "");
}

}  // namespace
