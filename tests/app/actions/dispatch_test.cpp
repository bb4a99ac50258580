// Every route to an action on the real directory control: a double click or
// Enter in the remote-action tree, its right button and the action menu, the
// main button on the tree, the history and the result list; and what the
// dispatch does with the target (a workstation at once, a user resolved
// through the workstation database, what cannot be acted on).
#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidgetItem>

#include "app/actions/RemoteActions.h"
#include "app/browser/treeExp.h"
#include "app/shell/NameHistory.h"
#include "lookupfixture.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedtree.h"

using platform::forms::KeyedTree;
namespace pointer = platform::forms::pointer;

namespace {

const QString kRC = "Remote Control";

class DispatchTest : public LookupTest {
protected:
    void SetUp() override {
        LookupTest::SetUp();
        writeFullDatabase();
        open();
    }
    platform::forms::KeyedTree& tree() { return *form->TreeViewRC; }
    // The node of an object, shown and selected as a click leaves it.
    QTreeWidgetItem* show(const QString& path) {
        tvn::treeExp(*form, key(path));
        QTreeWidgetItem* node = tree().node(key(path));
        tree().scrollToItem(node);
        return node;
    }
    QPoint centre(QTreeWidgetItem* node) { return tree().visualItemRect(node).center(); }
    void doubleClick(const QString& path) { doubleClickAt(tree().viewport(), centre(show(path))); }
    void rightClick(const QString& path) {
        QTest::mousePress(tree().viewport(), Qt::RightButton, {}, centre(show(path)));
    }
    void runMenu(const QString& item) { form->menuItem(item)->trigger(); }
    QStringList history() const {
        QStringList out;
        for (int i = 0; i < form->ImageCombo1->count(); ++i)
            out << form->ImageCombo1->keyAt(i) + " " + form->ImageCombo1->imageAt(i);
        return out;
    }
    void run(const QString& path) { tvn::RemoteActions::StartRemoteAction(*form, key(path)); }
};

}  // namespace

// ---- what the dispatch does with a target ----

TEST_F(DispatchTest, AWorkstationStartsAtOnceAndAUserAtItsOneWorkstation) {
    form->chosenKey = key("Acme\\IT\\WS05");
    form->chosenImage = "Workstation";
    run("Acme\\IT\\WS05");
    EXPECT_EQ(started(), QStringList{"WS05.IT.Acme " + kRC});

    form->chosenKey = key("Acme\\IT\\Prefix");
    form->chosenImage = "User";
    run("Acme\\IT\\Prefix");
    EXPECT_EQ(started().last(), "WS05.IT.Acme " + kRC) << "10.0.0.5, not 10.0.0.50";
    EXPECT_EQ(history(), (QStringList{key("Acme\\IT\\WS05") + " Workstation",
                                      key("Acme\\IT\\Prefix") + " User"}))
        << "the history names the user, not the workstation";
    EXPECT_EQ(form->MousePointer(), pointer::kDefault);
}

TEST_F(DispatchTest, AUserWithSeveralAddressesFillsTheListToPickFrom) {
    form->lstMultiple->addItem(key("Old"), "Old", "User");
    form->setStatusText("Connecting ...");
    run("Acme\\IT\\Admin");
    EXPECT_EQ(items(), QStringList{"WS05.IT.Acme | " + key("Acme\\IT\\WS05") + " | Workstation"})
        << "the server node gets no item";
    run("Acme\\Sales\\HalfKnown");
    EXPECT_EQ(items(),
              (QStringList{"WS02.Sales.Acme | " + key("Acme\\Sales\\WS02") + " | Workstation",
                           "Workstation not in database: TCP 10.9.9.9 |  | Workstation"}));
    EXPECT_EQ(form->lstMultiple->columnHeader(1), "Workstation(s) currently in use ...");
    EXPECT_EQ(form->statusText(), "");
    EXPECT_TRUE(rec.programs->started.isEmpty());
}

TEST_F(DispatchTest, WhatCannotBeActedOnIsSaidInTheStatusBar) {
    const std::pair<const char*, const char*> cases[] = {
        {"Acme\\Sales\\Nowhere", "User not logged in!"},
        {"Acme\\Sales\\Stranger",
         "Couldn't find workstation in database - Update the Workstation Database!"},
        {"Acme\\IT\\Console",
         "Couldn't find workstation in database - Update the Workstation Database!"},
        {"Acme\\Sales\\Deleted", "Object does not exist!"},
    };
    for (const auto& [path, status] : cases) {
        form->setMousePointer(pointer::kHourglass);
        run(path);
        EXPECT_EQ(form->statusText(), status) << path;
        EXPECT_EQ(form->MousePointer(), pointer::kDefault);
    }
    EXPECT_TRUE(rec.programs->started.isEmpty());
    EXPECT_TRUE(rec.messages->boxes.empty());
}

TEST_F(DispatchTest, AMissingDatabaseIsShownOnceAndLeavesTheListEmpty) {
    std::filesystem::remove(dbFile());
    form->lstMultiple->addItem(key("Old"), "Old", "User");
    run("Acme\\Sales\\Twice");
    EXPECT_TRUE(items().isEmpty());
    ASSERT_EQ(rec.messages->boxes.size(), 1u);
    EXPECT_TRUE(
        rec.messages->boxes[0].text.startsWith("Could not find Workstation Database File!"));
    EXPECT_EQ(form->mintCurFrame, 2);
    EXPECT_EQ(form->mintCurFrameSettings, 4);
    run("Acme\\Sales\\Single");
    EXPECT_EQ(rec.messages->boxes.size(), 2u);
    EXPECT_EQ(form->MousePointer(), pointer::kDefault);
    EXPECT_TRUE(rec.programs->started.isEmpty());
}

TEST_F(DispatchTest, WithoutAServerNothingStartsAndTheStatusBarSaysSo) {
    form->cmbServerlist->setCurrentText("");
    doubleClick("Acme\\Sales\\WS01");
    EXPECT_TRUE(rec.programs->started.isEmpty());
    EXPECT_EQ(form->statusText(), "Please choose a server where you have installed Harbex files!");
    EXPECT_TRUE(history().isEmpty());
}

// ---- the tree: double click, Enter, right button ----

TEST_F(DispatchTest, ADoubleClickOrEnterInTheTreeRunsTheDefaultAction) {
    doubleClick("Acme\\Sales\\WS01");
    EXPECT_EQ(started(), QStringList{"WS01.Sales.Acme " + kRC});
    EXPECT_EQ(form->chosenImage, "Workstation");
    EXPECT_TRUE(form->treeFlag);
    EXPECT_EQ(form->statusText(), "") << "\"Connecting ...\" until the command was built";

    form->defaultAction = "CH";
    doubleClick("Acme\\Sales\\Single");
    EXPECT_EQ(started().last(), "WS01.Sales.Acme Chat");
    EXPECT_EQ(form->chosenKey, key("Acme\\Sales\\Single"));
    EXPECT_EQ(form->chosenImage, "User");
    EXPECT_EQ(form->MousePointer(), pointer::kDefault);

    show("Acme\\IT\\WS50");
    tree().setFocus();
    form->resultListFlag = true;
    QTest::keyClick(tree().viewport(), Qt::Key_Return);
    EXPECT_EQ(started().last(), "WS50.IT.Acme Chat");
    EXPECT_EQ(form->resultListFlag, false);

    const int before = static_cast<int>(started().size());
    doubleClick("Acme\\IT");
    EXPECT_EQ(started().size(), before) << "a container starts nothing";
}

TEST_F(DispatchTest, ADoubleClickOnAnAliasActsOnItForTheHistoryAsAUser) {
    doubleClick("Acme\\PCAlias");
    EXPECT_EQ(form->chosenKey, key("Acme\\PCAlias"));
    EXPECT_EQ(form->chosenImage, "User");
    // The directory does not resolve aliases: the alias's own name goes to
    // the console, which resolves it.
    EXPECT_EQ(started(), QStringList{"PCAlias.Acme " + kRC});
    EXPECT_EQ(history(), QStringList{key("Acme\\PCAlias") + " User"});
}

TEST_F(DispatchTest, TheRightButtonOnAUserOrWorkstationOffersTheActionMenu) {
    form->defaultAction = "RV";
    form->cmdRC->setText("Search");
    rightClick("Acme\\Sales\\Single");
    ASSERT_EQ(rec.menus->popups.size(), 1u);
    EXPECT_EQ(rec.menus->popups[0].menu, "mnuMain");
    EXPECT_EQ(rec.menus->popups[0].flags, 2);
    EXPECT_EQ(rec.menus->popups[0].pos, centre(tree().node(key("Acme\\Sales\\Single"))));
    EXPECT_EQ(form->cmdRC->text(), "Remote View");
    EXPECT_TRUE(form->treeFlag);
    EXPECT_EQ(form->ImageCombo1->currentText(), "Single.Sales.Acme");
    EXPECT_EQ(form->currentContext, key("Acme\\Sales"));
    EXPECT_EQ(form->statusText(), "Context: " + key("Acme\\Sales"));
    EXPECT_TRUE(rec.programs->started.isEmpty()) << "nothing runs until an item is chosen";

    rightClick("Acme\\IT");
    EXPECT_EQ(rec.menus->popups.back().menu, "mnuTreeManipulate");

    QTest::mousePress(tree().viewport(), Qt::RightButton, {},
                      QPoint(5, tree().viewport()->height() - 3));
    EXPECT_EQ(rec.menus->popups.size(), 2u) << "empty space offers nothing";
    EXPECT_EQ(tree().selectedNode(), nullptr);
    EXPECT_EQ(form->statusText(), "");
}

// ---- the action menu ----

TEST_F(DispatchTest, AMenuItemRunsItsActionOnceAndKeepsTheDefault) {
    rightClick("Acme\\Sales\\Single");
    runMenu("mnuCH");
    EXPECT_EQ(started(), QStringList{"WS01.Sales.Acme Chat"});
    EXPECT_EQ(form->defaultAction, "RC");
    EXPECT_EQ(history(), QStringList{key("Acme\\Sales\\Single") + " User"});

    form->cmdRC_Click();
    EXPECT_EQ(started().last(), "WS01.Sales.Acme " + kRC) << "the button still runs the default";

    const QStringList expected = {"WS02.Sales.Acme Remote View",   "WS02.Sales.Acme Remote Execute",
                                  "WS02.Sales.Acme File Transfer", "WS02.Sales.Acme Chat",
                                  "WS02.Sales.Acme Diagnostics",   "WS02.Sales.Acme Ping"};
    rec.programs->started.clear();
    rightClick("Acme\\Sales\\WS02");
    for (const char* item : {"mnuRV", "mnuRe", "mnuFT", "mnuCH", "mnuRD", "mnuRP"}) runMenu(item);
    EXPECT_EQ(started(), expected);
}

TEST_F(DispatchTest, InventoryFromTheMenuNeedsAnInventoryServer) {
    rightClick("Acme\\Sales\\WS01");
    runMenu("mnuRI");
    EXPECT_TRUE(rec.programs->started.isEmpty());
    ASSERT_EQ(rec.messages->boxes.size(), 1u);
    EXPECT_TRUE(rec.messages->boxes[0].text.startsWith("In order to invoke the Inventory"));
    EXPECT_EQ(form->defaultAction, "RC");

    form->txtInvServer->setText("10.0.0.1");
    rightClick("Acme\\Sales\\WS01");
    runMenu("mnuRI");
    ASSERT_EQ(rec.programs->started.size(), 1);
    EXPECT_TRUE(rec.programs->started[0].endsWith("-c\"Inventory\" -d\"10.0.0.1\""));
}

// ---- the main button on the tree and the history ----

TEST_F(DispatchTest, TheMainButtonActsOnTheTreesUserAndOnAHistoryEntry) {
    QTest::mouseClick(tree().viewport(), Qt::LeftButton, {}, centre(show("Acme\\Sales\\Twice")));
    form->cmdRC_Click();
    EXPECT_EQ(items().size(), 2) << "two addresses: the list to pick from";

    QString key1 = key("Acme\\Sales\\Single"), image = "User";
    tvn::AddHistory(*form, key1, key1, image, image);
    QString key2 = key("Acme\\Sales\\Gone"), image2 = "Workstation";
    tvn::AddHistory(*form, key2, key2, image2, image2);
    for (int index : {0, 1}) {
        form->ImageCombo1->setCurrentIndex(index);
        emit form->ImageCombo1->activated(index);
        form->cmdRC_Click();
    }
    EXPECT_EQ(started(), QStringList{"WS01.Sales.Acme " + kRC}) << "the user, resolved";
    EXPECT_EQ(form->statusText(), "Object does not exist!") << "the workstation is gone";
}

TEST_F(DispatchTest, TheMenuKeysOfferTheRightButtonsMenuForTheCurrentNode) {
    form->defaultAction = "RV";
    QTreeWidgetItem* user = show("Acme\\Sales\\Single");
    tree().setCurrentItem(user);
    tree().setFocus();
    QTest::keyClick(tree().viewport(), Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_EQ(rec.menus->popups.size(), 1u);
    EXPECT_EQ(rec.menus->popups[0].menu, "mnuMain");
    EXPECT_EQ(rec.menus->popups[0].flags, 2);
    EXPECT_TRUE(tree().visualItemRect(user).adjusted(0, 0, 0, 1).contains(rec.menus->popups[0].pos))
        << "the menu opens at the node";
    EXPECT_EQ(tree().selectedNode(), user);
    EXPECT_TRUE(form->treeFlag);
    EXPECT_EQ(form->cmdRC->text(), "Remote View");
    EXPECT_EQ(form->ImageCombo1->currentText(), "Single.Sales.Acme");
    EXPECT_EQ(form->currentContext, key("Acme\\Sales"));

    // Its items act on that node.
    runMenu("mnuCH");
    EXPECT_EQ(form->defaultAction, "RV");

    QTreeWidgetItem* container = show("Acme\\IT");
    tree().setCurrentItem(container);
    QTest::keyClick(tree().viewport(), Qt::Key_Menu);
    ASSERT_EQ(rec.menus->popups.size(), 2u);
    EXPECT_EQ(rec.menus->popups[1].menu, "mnuTreeManipulate");
    EXPECT_EQ(tree().selectedNode(), container) << "the tree menu acts on the selected node";
}
