// The quillon-host window, offscreen: the control hosted in design mode with
// its property list, and its property pages opened by class id in the frame,
// where "Bindery connection" applied sets Bindery and a refused change keeps
// the frame open with the reason.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "platform/automation/create.h"
#include "platform/automation/server.h"
#include "platform/framework/control.h"
#include "platform/framework/propframe.h"
#include "session/host/hostwindow.h"
#include "testsupport/testsupport.h"

namespace {

namespace pa = platform::automation;
namespace fw = platform::framework;
using quillonhost::HostWindow;

constexpr const char* kProgId = "QuillonLib.QuillonCtrl.1";

class HostWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const auto& server = pa::loadServer(testsupport::libDir() / "libquillon.so");
        ASSERT_EQ(server.registerServer(), 0) << pa::lastServerError();
    }

    // The value column of a property's row.
    static QString valueOf(const HostWindow& window, const QString& property) {
        const auto rows = window.propertyList()->findItems(property, Qt::MatchExactly, 0);
        return rows.size() == 1 ? rows[0]->text(1) : QString("(no row)");
    }

    static QCheckBox* box(fw::PropertyPage* page, const QString& label) {
        for (QCheckBox* b : page->findChildren<QCheckBox*>())
            if (b->text() == label) return b;
        return nullptr;
    }

    testsupport::ScopedEnv network_{"KDCLIENT_NETWORK",
                                    (testsupport::dataDir() / "session" / "network.json").string()};
    testsupport::ScopedEnv state_{"KDCLIENT_STATE",
                                  (testsupport::freshDir("session") / "state.json").string()};
    testsupport::ScopedEnv directory_{"KDDIR_SOURCE", nullptr};
};

TEST_F(HostWindowTest, HostsTheControlInDesignModeAndListsItsProperties) {
    HostWindow window(kProgId);
    ASSERT_TRUE(window.object()) << window.statusText().toStdString();
    ASSERT_TRUE(window.control());
    EXPECT_FALSE(window.control()->ambientUserMode());
    EXPECT_EQ(window.statusText(), "");
    EXPECT_EQ(valueOf(window, "AutoClose"), "False");
    EXPECT_EQ(valueOf(window, "ServerNames"), "4 items: FS1, FS2, OLD1, LAB1");
    EXPECT_EQ(valueOf(window, "TreeNames"), "2 items: ACME, LabTree");
    EXPECT_EQ(valueOf(window, "DriveMappings"), "0 items");
    EXPECT_EQ(valueOf(window, "DefaultFullName"), "");
    EXPECT_EQ(window.propertyList()->findItems("DefaultFullName", Qt::MatchExactly)[0]->text(2),
              "read/write");
    EXPECT_EQ(window.propertyList()->findItems("ServerNames", Qt::MatchExactly)[0]->text(2),
              "read only");
    EXPECT_EQ(window.propertyList()->topLevelItemCount(), 15);  // no methods, no _NewEnum
    EXPECT_TRUE(window.propertiesButton()->isEnabled());

    // Set from outside the window, the value is listed at once.
    window.object()->put("Bindery", pa::Variant(true));
    EXPECT_TRUE(QTest::qWaitFor([&] { return valueOf(window, "Bindery") == "True"; }, 5000));
}

TEST_F(HostWindowTest, PropertiesOpensBothPagesAndApplySetsBindery) {
    HostWindow window(kProgId);
    window.show();
    fw::PropertyFrame* frame = window.openProperties();
    ASSERT_TRUE(frame) << window.statusText().toStdString();
    EXPECT_EQ(frame->windowTitle(), "Marrel Session Control Properties");
    ASSERT_EQ(frame->pageCount(), 2);
    EXPECT_EQ(frame->tabs()->tabText(0), "General Properties");
    EXPECT_EQ(frame->tabs()->tabText(1), "Network Browser");
    EXPECT_FALSE(frame->applyButton()->isEnabled());

    QCheckBox* bindery = box(frame->page(0), "Bindery connection");
    ASSERT_TRUE(bindery);
    EXPECT_FALSE(bindery->isChecked());
    bindery->click();
    EXPECT_TRUE(frame->applyButton()->isEnabled());
    EXPECT_FALSE(window.object()->get("Bindery").toBool());
    frame->applyButton()->click();
    EXPECT_TRUE(window.object()->get("Bindery").toBool());
    EXPECT_FALSE(frame->applyButton()->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return valueOf(window, "Bindery") == "True"; }, 5000));

    // Cancel drops what was not applied.
    box(frame->page(0), "AutoClose")->click();
    frame->cancelButton()->click();
    EXPECT_FALSE(window.object()->get("AutoClose").toBool());

    // OK applies, then closes.
    frame = window.openProperties();
    ASSERT_TRUE(frame);
    EXPECT_TRUE(box(frame->page(0), "Bindery connection")->isChecked());
    box(frame->page(0), "ScriptTab")->click();
    frame->okButton()->click();
    EXPECT_TRUE(window.object()->get("ScriptTab").toBool());
    EXPECT_FALSE(frame->isVisible());
}

TEST_F(HostWindowTest, AFrameKeepsWhatAnObjectRefusesAndSaysWhy) {
    const auto control = pa::createObject(kProgId);
    const auto pages = fw::PropertyFrame::createPages(
        dynamic_cast<fw::ControlBase*>(control.get())->propertyPages());
    // The general page put on an object without the control's properties.
    const auto servers = control->get("ServerNames").toObject();
    fw::PropertyFrame frame("Servers", {servers}, {pages[0]});
    EXPECT_TRUE(frame.statusText().startsWith("AutoClose cannot be read: error 438: "))
        << frame.statusText().toStdString();
    EXPECT_TRUE(frame.statusText().endsWith("(and 6 more properties)"));
    frame.show();
    box(frame.page(0), "VariablesTab")->click();
    frame.okButton()->click();
    EXPECT_TRUE(frame.isVisible());
    EXPECT_TRUE(frame.statusText().startsWith("General Properties: error 438: "))
        << frame.statusText().toStdString();
    EXPECT_THROW(fw::PropertyFrame::createPages({"{00000000-0000-0000-0000-000000000000}"}),
                 pa::AutomationError);
    // A class that is no page.
    EXPECT_THROW(fw::PropertyFrame::createPages({"{6C1F3A23-5B7E-4D2A-9E41-2A8D0C1B7F01}"}),
                 pa::AutomationError);
}

TEST_F(HostWindowTest, AClassThatCannotBeCreatedIsReportedInTheWindow) {
    HostWindow window("QuillonLib.NoSuchClass");
    EXPECT_FALSE(window.object());
    EXPECT_TRUE(
        window.statusText().startsWith("QuillonLib.NoSuchClass cannot be created: error 429"))
        << window.statusText().toStdString();
    EXPECT_FALSE(window.propertiesButton()->isEnabled());
    EXPECT_EQ(window.propertyList()->topLevelItemCount(), 0);
    EXPECT_EQ(window.openProperties(), nullptr);
}

}  // namespace
