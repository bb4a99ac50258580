// The result list with mouse and keys, on the real directory control: an item
// chosen becomes the target of the main button and the action menu, a double
// click or Enter runs the default action on it, the right button offers the
// action menu for the item under the pointer, and message items are refused.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "lookupfixture.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlistview.h"

namespace {

const QString kUpdate =
    "Unable to perform Remote Actions - please update the Workstation Database!";

class ResultListTest : public LookupTest {
protected:
    void SetUp() override {
        LookupTest::SetUp();
        openForSearches();
    }
    platform::forms::KeyedListView& list() { return *form->lstMultiple; }
    QPoint at(int row) { return list().rowRect(row).center(); }
    void click(int row) { QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, at(row)); }
    void doubleClick(int row) { doubleClickAt(list().viewport(), at(row)); }
    void press(Qt::Key k) { QTest::keyClick(list().viewport(), k); }
    QStringList history() const {
        QStringList out;
        for (int i = 0; i < form->ImageCombo1->count(); ++i)
            out << form->ImageCombo1->keyAt(i) + " " + form->ImageCombo1->imageAt(i);
        return out;
    }
    void expectChosenFromTheList() const {
        EXPECT_EQ(form->resultListFlag, true);
        EXPECT_FALSE(form->treeFlag);
        EXPECT_FALSE(form->historyFlag);
    }
};

}  // namespace

TEST_F(ResultListTest, AClickedItemBecomesTheTargetOfTheMainButton) {
    search("Twice");
    form->Command1->setEnabled(false);
    form->cmdRC->setText("Search");
    click(1);
    EXPECT_EQ(form->ImageCombo1->currentText(), "WS01.Sales.Acme");
    EXPECT_TRUE(form->Command1->isEnabled());
    EXPECT_EQ(form->cmdRC->text(), "Remote Control");
    expectChosenFromTheList();
    EXPECT_TRUE(rec.programs->started.isEmpty()) << "a click only chooses";

    form->cmdRC_Click();
    EXPECT_EQ(started(), QStringList{"WS01.Sales.Acme Remote Control"});
    EXPECT_EQ(history(), QStringList{key("Acme\\Sales\\Twice") + " User"})
        << "the chosen object is the user who was resolved";
}

TEST_F(ResultListTest, ADoubleClickOrEnterRunsTheDefaultAction) {
    search("Twice");
    doubleClick(0);
    EXPECT_EQ(started(), QStringList{"WS02.Sales.Acme Remote Control"});
    expectChosenFromTheList();

    form->defaultAction = "RD";
    list().setFocus();
    press(Qt::Key_Down);
    press(Qt::Key_A);
    EXPECT_EQ(started().size(), 1) << "only Enter acts";
    EXPECT_EQ(form->ImageCombo1->currentText(), "WS01.Sales.Acme");
    press(Qt::Key_Return);
    EXPECT_EQ(started().last(), "WS01.Sales.Acme Diagnostics");
}

TEST_F(ResultListTest, ASearchHitIsActedOnAsTheChosenObject) {
    search("S");
    ASSERT_EQ(list().count(), 3) << "Single, SameTwice, Stranger";
    EXPECT_EQ(list().columnHeader(1), "Multiple users found ...");
    int single = -1, stranger = -1;
    for (int row = 0; row < 3; ++row) {
        if (list().textAt(row) == "Single.Sales.Acme") single = row;
        if (list().textAt(row) == "Stranger.Sales.Acme") stranger = row;
    }
    doubleClick(single);
    EXPECT_EQ(started(), QStringList{"WS01.Sales.Acme Remote Control"});
    EXPECT_EQ(history(), QStringList{key("Acme\\Sales\\Single") + " User"});
    EXPECT_EQ(form->chosenKey, key("Acme\\Sales\\Single"));

    doubleClick(stranger);
    EXPECT_EQ(form->statusText(),
              "Couldn't find workstation in database - Update the Workstation Database!");
    EXPECT_EQ(started().size(), 1);
}

TEST_F(ResultListTest, MessageItemsAreRefusedWithTheReason) {
    search("HalfKnown");
    ASSERT_EQ(list().count(), 2);
    form->ImageCombo1->setEditText("HalfKnown");
    click(1);
    EXPECT_EQ(form->statusText(), kUpdate);
    EXPECT_EQ(form->ImageCombo1->currentText(), "HalfKnown") << "nothing to show";
    expectChosenFromTheList();
    doubleClick(1);
    EXPECT_EQ(form->statusText(), kUpdate);
    form->cmdRC_Click();
    EXPECT_EQ(form->statusText(), kUpdate);
    list().setFocus();
    press(Qt::Key_Return);
    EXPECT_EQ(form->ImageCombo1->currentText(), "Workstation not in database: TCP 10.9.9.9");
    form->menuItem("mnuCH")->trigger();
    EXPECT_EQ(form->statusText(), kUpdate);
    EXPECT_TRUE(rec.programs->started.isEmpty());

    search("Nowhere");
    doubleClick(0);
    EXPECT_EQ(form->statusText(), "User not logged in!");
    EXPECT_TRUE(rec.programs->started.isEmpty());
}

TEST_F(ResultListTest, TheRightButtonOffersTheActionMenuForTheItemUnderThePointer) {
    search("Twice");
    click(0);
    form->setStatusText("Context: KTR:\\\\Corp");
    const QPoint pointer = at(1);
    QTest::mousePress(list().viewport(), Qt::RightButton, {}, pointer);
    ASSERT_EQ(rec.menus->popups.size(), 1u);
    EXPECT_EQ(rec.menus->popups[0].menu, "mnuMain");
    EXPECT_EQ(rec.menus->popups[0].flags, 2);
    EXPECT_EQ(rec.menus->popups[0].pos, pointer);
    EXPECT_EQ(list().selectedRow(), 1);
    EXPECT_EQ(form->statusText(), "");
    expectChosenFromTheList();

    form->menuItem("mnuCH")->trigger();
    EXPECT_EQ(started(), QStringList{"WS01.Sales.Acme Chat"});
    EXPECT_EQ(history(), QStringList{key("Acme\\Sales\\WS01") + " Workstation"})
        << "the menu records the workstation itself";
    EXPECT_EQ(form->defaultAction, "RC");

    list().clearItems();
    form->setStatusText("kept");
    QTest::mousePress(list().viewport(), Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(rec.menus->popups.size(), 1u) << "an empty list offers nothing";
    EXPECT_EQ(form->statusText(), "kept");
}

TEST_F(ResultListTest, TheMenuKeysOfferTheActionMenuForTheCurrentItem) {
    search("Twice");
    list().setFocus();
    list().setCurrentRow(1);
    form->setStatusText("Context: KTR:\\\\Corp");
    QTest::keyClick(list().viewport(), Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_EQ(rec.menus->popups.size(), 1u);
    EXPECT_EQ(rec.menus->popups[0].menu, "mnuMain");
    EXPECT_EQ(rec.menus->popups[0].flags, 2);
    EXPECT_TRUE(list().rowRect(1).adjusted(0, 0, 0, 1).contains(rec.menus->popups[0].pos));
    EXPECT_EQ(form->statusText(), "");
    expectChosenFromTheList();
    form->menuItem("mnuCH")->trigger();
    EXPECT_EQ(started(), QStringList{"WS01.Sales.Acme Chat"});

    list().clearItems();
    QTest::keyClick(list().viewport(), Qt::Key_Menu);
    EXPECT_EQ(rec.menus->popups.size(), 1u) << "an empty list offers nothing";
}

TEST_F(ResultListTest, TabbingIntoTheListChoosesItsFirstItemSoThatEnterActsOnIt) {
    search("Twice");
    ASSERT_EQ(list().selectedRow(), -1);
    form->ImageCombo1->setFocus();
    QWidget* next = form->ImageCombo1;
    // Tab on until the list has the focus, as a person would.
    for (int i = 0; i < 10 && !list().hasFocus(); ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : next,
                        Qt::Key_Tab);
    }
    ASSERT_TRUE(list().hasFocus());
    EXPECT_EQ(list().selectedRow(), 0);
    expectChosenFromTheList();
    EXPECT_EQ(form->ImageCombo1->currentText(), list().textAt(0));
    QTest::keyClick(list().viewport(), Qt::Key_Down);
    EXPECT_EQ(list().selectedRow(), 1);
    EXPECT_EQ(form->ImageCombo1->currentText(), "WS01.Sales.Acme");
    QTest::keyClick(list().viewport(), Qt::Key_Return);
    EXPECT_EQ(started(), QStringList{"WS01.Sales.Acme Remote Control"});
}
