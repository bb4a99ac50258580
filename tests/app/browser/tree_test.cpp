// The two directory trees on the real directory control: built from the root
// at start-up, each level read once when its container is first opened and
// sorted without regard to case, the saved context reopened (or replaced by
// the root when it is gone), choosing nodes with mouse and keys, the right
// button, reading a container again, and a lost connection.
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <fstream>

#include "browserfixture.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/keyedlistview.h"
#include "platform/forms/tabstrip.h"

namespace fs = std::filesystem;
using platform::forms::KeyedTree;

// ---- building the trees and reading levels ----

TEST_F(BrowserTest, StartupFillsBothTreesFromTheRoot) {
    loadAndShow();
    ASSERT_EQ(rc().topLevelItemCount(), 1);
    QTreeWidgetItem* root = rcNode();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(0), "Corp");
    EXPECT_EQ(KeyedTree::imageOf(root), "Top");
    EXPECT_EQ(KeyedTree::tagOf(root), key());
    EXPECT_TRUE(root->isExpanded());
    EXPECT_TRUE(root->isSelected());
    EXPECT_EQ(childTexts(root), (QStringList{"Acme", "DE"})) << "sorted, not in directory order";

    QTreeWidgetItem* acme = rcNode("Acme");
    EXPECT_EQ(KeyedTree::imageOf(acme), "Organization");
    EXPECT_EQ(KeyedTree::tagOf(acme), key("Acme"));
    ASSERT_EQ(acme->childCount(), 1) << "not read yet";
    EXPECT_EQ(acme->child(0)->text(0), "_dummy_");
    EXPECT_EQ(KeyedTree::keyOf(acme->child(0)), "dummy." + key("Acme"));

    EXPECT_EQ(form->currentContext, key()) << "the control's tree root, on a first run";
    EXPECT_EQ(form->statusText(), "Context: " + key());

    // The database-context tree lists containers only.
    ASSERT_NE(ws().node(key()), nullptr);
    QTreeWidgetItem* wsAcme = ws().node(key("Acme"));
    wsAcme->setExpanded(true);
    EXPECT_EQ(childTexts(wsAcme), (QStringList{"Empty", "HR", "Marketing", "sales"}));
}

TEST_F(BrowserTest, ALevelIsReadOnceAndSortedWithoutRegardToCase) {
    loadAndShow();
    EXPECT_EQ(rcReads(), 0u);
    rec.pointer->history.clear();
    QTreeWidgetItem* acme = rcNode("Acme");
    acme->setExpanded(true);
    EXPECT_EQ(rcReads(), 1u);
    EXPECT_EQ(rec.pointer->history, (std::vector<int>{platform::forms::pointer::kHourglass,
                                                      platform::forms::pointer::kDefault}));
    EXPECT_EQ(childTexts(acme), (QStringList{"DemoPC", "Empty", "HR", "Marketing", "sales"}));
    EXPECT_EQ(rc().node("dummy." + key("Acme")), nullptr) << "the placeholder is gone";
    EXPECT_EQ(KeyedTree::imageOf(rcNode("Acme\\DemoPC")), "Alias");

    rcNode("Acme\\sales")->setExpanded(true);
    QTreeWidgetItem* north = rcNode("Acme\\sales\\North");
    north->setExpanded(true);
    EXPECT_EQ(childTexts(north), (QStringList{"Alder", "brandt", "Carter"}));

    acme->setExpanded(false);
    const size_t calls = rcCalls();
    acme->setExpanded(true);
    EXPECT_EQ(rcCalls(), calls) << "opening a read level again reads nothing";
    EXPECT_EQ(acme->childCount(), 5);
}

TEST_F(BrowserTest, OnlyAContainerWithSubordinatesOffersToOpen) {
    loadAndShow();
    rcNode("Acme")->setExpanded(true);
    EXPECT_EQ(rcNode("Acme\\Empty")->childCount(), 0) << "nothing below: no expand button";
    EXPECT_EQ(rcNode("Acme\\DemoPC")->childCount(), 0);

    // HR holds users only, which the database tree does not show: it offers
    // to open until it is opened, and is empty then.
    QTreeWidgetItem* wsAcme = ws().node(key("Acme"));
    wsAcme->setExpanded(true);
    QTreeWidgetItem* hr = ws().node(key("Acme\\HR"));
    ASSERT_EQ(hr->childCount(), 1);
    EXPECT_EQ(hr->child(0)->text(0), "_dummy_");
    hr->setExpanded(true);
    EXPECT_EQ(hr->childCount(), 0);
    EXPECT_EQ(ws().node("dummy." + key("Acme\\HR")), nullptr);
}

TEST_F(BrowserTest, ALevelThatCannotBeReadStaysClosedAndSaysWhy) {
    const fs::path file = useCopyOfDirectory();
    loadAndShow();
    fs::rename(file, file.string() + ".away");
    for (KeyedTree* tree : {&rc(), &ws()}) {
        QTreeWidgetItem* acme = tree->node(key("Acme"));
        acme->setExpanded(true);
        EXPECT_FALSE(acme->isExpanded());
        ASSERT_EQ(acme->childCount(), 1);
        EXPECT_EQ(acme->child(0)->text(0), "_dummy_") << "the next opening tries again";
        EXPECT_TRUE(form->statusText().startsWith("Could not read " + key("Acme") + ": "))
            << form->statusText().toStdString();
    }
    EXPECT_TRUE(rec.messages->boxes.empty());
    EXPECT_FALSE(form->isUnloaded());
    EXPECT_EQ(form->MousePointer(), platform::forms::pointer::kDefault);

    fs::rename(file.string() + ".away", file);
    rcNode("Acme")->setExpanded(true);
    EXPECT_EQ(rcNode("Acme")->childCount(), 5);
}

// ---- the saved context ----

TEST_F(BrowserTest, ARootContextSelectsTheRootWithoutOpeningAnything) {
    store("Settings\\Corp", "Current Context", key().toStdString());
    loadAndShow();
    EXPECT_TRUE(rcNode()->isSelected());
    EXPECT_EQ(rcReads(), 0u);
    for (const char* child : {"Acme", "DE"}) EXPECT_FALSE(rcNode(child)->isExpanded()) << child;
    EXPECT_EQ(form->currentContext, key());
}

TEST_F(BrowserTest, AThreeLevelContextOpensItsChainAndSelectsIt) {
    const QString north = key("Acme\\sales\\North");
    store("Settings\\Corp", "Current Context", north.toStdString());
    loadAndShow();
    EXPECT_TRUE(rcNode("Acme")->isExpanded());
    EXPECT_TRUE(rcNode("Acme\\sales")->isExpanded());
    EXPECT_FALSE(rcNode("DE")->isExpanded());
    EXPECT_EQ(rcReads(), 2u) << "Acme and sales";
    ASSERT_NE(rcNode("Acme\\sales\\North"), nullptr);
    EXPECT_EQ(rc().selectedNode(), rcNode("Acme\\sales\\North"));
    EXPECT_FALSE(rcNode("Acme\\sales\\North")->isExpanded());
    EXPECT_EQ(form->currentContext, north);
    EXPECT_EQ(form->statusText(), "Context: " + north);
}

TEST_F(BrowserTest, ASavedContextThatIsGoneGivesWayToTheRoot) {
    store("Settings\\Corp", "Current Context", key("Acme\\Gone\\Deeper").toStdString());
    ASSERT_EQ(load(), tvn::frmMain::LoadResult::Show);
    EXPECT_EQ(rc().selectedNode(), rcNode());
    EXPECT_EQ(form->currentContext, key());
    EXPECT_EQ(form->statusText(), "Context: " + key());
    form->close();
    EXPECT_EQ(stored("Settings\\Corp", "Current Context"), key().toStdString());

    // Start-up goes on after it: the anchor of the next run is restored.
    store("Settings\\Corp", "Current Context", key("Renamed").toStdString());
    store("Settings\\Corp", "SearchAnchor", key("Acme\\HR").toStdString());
    restart();
    EXPECT_TRUE(form->anchorFixed);
    EXPECT_TRUE(rcNode("Acme\\HR")->font(0).bold());
}

// ---- choosing nodes ----

TEST_F(BrowserTest, ClickingAContainerMakesItTheSearchContext) {
    store("Settings\\Corp", "Current Context", key("Acme\\sales").toStdString());
    loadAndShow();
    rcNode("Acme\\sales")->setExpanded(true);
    form->lstMultiple->addItem(key("Old"), "Old", "User");
    form->lstMultiple->setColumnHeader(1, "Multiple users found ...");
    form->lvwKTRinfo->addItem({}, "Title");

    click(rc(), rcNode("Acme\\sales\\North"));
    EXPECT_EQ(form->currentContext, key("Acme\\sales\\North"));
    EXPECT_EQ(form->statusText(), "Context: " + key("Acme\\sales\\North"));
    EXPECT_EQ(form->lstMultiple->count(), 0);
    EXPECT_EQ(form->lstMultiple->columnHeader(1), "Search Results");
    EXPECT_EQ(form->lvwKTRinfo->count(), 0);
}

TEST_F(BrowserTest, ClickingAUserMakesItTheTargetAndShowsItsAttributes) {
    store("Settings\\Corp", "Current Context", key("Acme\\sales").toStdString());
    store("KTR User\\Corp", "Title", "1");
    loadAndShow();
    rcNode("Acme\\sales")->setExpanded(true);
    form->Command1->setEnabled(false);
    form->cmdRC->setText("Search");
    form->historyFlag = true;
    form->resultListFlag = true;

    click(rc(), rcNode("Acme\\sales\\Voss"));
    EXPECT_TRUE(form->Command1->isEnabled());
    EXPECT_EQ(form->cmdRC->text(), "Remote Control");
    ASSERT_EQ(form->lvwKTRinfo->count(), 1);
    EXPECT_EQ(form->lvwKTRinfo->itemAt(0)->text(1), "Key Account Manager");
    EXPECT_TRUE(form->treeFlag);
    EXPECT_FALSE(form->historyFlag);
    EXPECT_EQ(form->resultListFlag, false);
    EXPECT_EQ(form->ImageCombo1->currentText(), "Voss.sales.Acme");
    EXPECT_EQ(form->currentContext, key("Acme\\sales")) << "a target is no context";
}

TEST_F(BrowserTest, ClickingAnAliasChangesNothing) {
    store("Settings\\Corp", "Current Context", key("Acme").toStdString());
    store("KTR User\\Corp", "CN", "1");
    loadAndShow();
    rcNode("Acme")->setExpanded(true);
    form->Command1->setEnabled(false);
    form->cmdRC->setText("Search");
    form->lvwKTRinfo->addItem({}, "Title")->setText(1, "from before");
    form->ImageCombo1->setEditText("typed");

    click(rc(), rcNode("Acme\\DemoPC"));
    EXPECT_FALSE(form->Command1->isEnabled());
    EXPECT_EQ(form->cmdRC->text(), "Search");
    ASSERT_EQ(form->lvwKTRinfo->count(), 1);
    EXPECT_EQ(form->lvwKTRinfo->itemAt(0)->text(1), "from before");
    EXPECT_FALSE(form->treeFlag);
    EXPECT_EQ(form->ImageCombo1->currentText(), "typed");
    EXPECT_EQ(form->currentContext, key("Acme"));
}

TEST_F(BrowserTest, ALostConnectionWhenAUserIsChosenEndsTheProgram) {
    const fs::path file = useCopyOfDirectory();
    store("Settings\\Corp", "Current Context", key("Acme\\sales").toStdString());
    loadAndShow();
    rcNode("Acme\\sales")->setExpanded(true);
    fs::remove(file);
    click(rc(), rcNode("Acme\\sales\\Voss"));
    ASSERT_EQ(rec.messages->boxes.size(), 1u);
    EXPECT_EQ(rec.messages->boxes[0].text, "Lost connection to KTR!");
    EXPECT_EQ(rec.messages->boxes[0].style, platform::forms::msgbox::kOkOnly);
    EXPECT_EQ(rec.messages->boxes[0].title, "Tolvane");
    EXPECT_TRUE(form->isUnloaded());
    EXPECT_EQ(form->KDDirRCTree, nullptr) << "the window was unloaded as on closing";
    EXPECT_EQ(stored("Settings\\Corp", "Current Context"), key("Acme\\sales").toStdString());
}

TEST_F(BrowserTest, ChoosingAContainerOfTheDatabaseTreeShowsIt) {
    loadAndShow();
    form->TabStrip->select(2);
    form->TabStripSettings->select(4);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ASSERT_TRUE(eventually([&] { return ws().isVisible(); }));
    click(ws(), ws().node(key("DE")));
    EXPECT_EQ(form->statusText(), "Context: " + key("DE"));
    EXPECT_EQ(form->currentContext, key()) << "the database context is not the search context";
}

// ---- keys and the right button ----

TEST_F(BrowserTest, KeysMakeTheTreeTheSourceAndArrowsChooseNodes) {
    store("Settings\\Corp", "Current Context", key("Acme\\sales\\WS02").toStdString());
    store("KTR User\\Corp", "Title", "1");
    loadAndShow();
    form->historyFlag = true;
    rc().setFocus();
    QTest::keyClick(&rc(), Qt::Key_Up);
    EXPECT_EQ(rc().selectedNode(), rcNode("Acme\\sales\\Voss"));
    ASSERT_EQ(form->lvwKTRinfo->count(), 1) << "moving to a user chooses it";
    EXPECT_TRUE(form->treeFlag);

    form->historyFlag = true;
    form->treeFlag = false;
    form->resultListFlag = true;
    QTest::keyClick(&rc(), Qt::Key_Return);
    EXPECT_TRUE(form->treeFlag);
    EXPECT_FALSE(form->historyFlag);
    EXPECT_EQ(form->resultListFlag, false);
}

TEST_F(BrowserTest, TheRightButtonOnAContainerOffersTheTreeMenu) {
    store("Settings\\Corp", "Current Context", key("Acme\\HR").toStdString());
    loadAndShow();
    form->setStatusText("something");
    const QPoint at = centreOf(rc(), rcNode("Acme\\HR"));
    rightPress(rc(), at);
    EXPECT_EQ(rc().selectedNode(), rcNode("Acme\\HR"));
    EXPECT_EQ(form->statusText(), "");
    ASSERT_EQ(rec.menus->popups.size(), 1u);
    EXPECT_EQ(rec.menus->popups[0].menu, "mnuTreeManipulate");
    EXPECT_EQ(rec.menus->popups[0].pos, at);
    EXPECT_EQ(rec.menus->popups[0].flags, 2);

    // A user is chosen by the right button too, without the tree menu.
    rightPress(rc(), centreOf(rc(), rcNode("Acme\\DemoPC")));
    EXPECT_EQ(rc().selectedNode(), rcNode("Acme\\DemoPC"));
    EXPECT_EQ(rec.menus->popups.size(), 1u);
}

TEST_F(BrowserTest, TheRightButtonOnEmptySpaceOnlyClearsTheSelection) {
    loadAndShow();
    ASSERT_NE(rc().selectedNode(), nullptr);
    form->setStatusText("something");
    const QPoint below(5, rc().viewport()->height() - 3);
    ASSERT_EQ(rc().nodeAt(below), nullptr);
    rightPress(rc(), below);
    EXPECT_EQ(rc().selectedNode(), nullptr);
    EXPECT_EQ(form->statusText(), "");
    EXPECT_TRUE(rec.menus->popups.empty());
    EXPECT_EQ(form->currentContext, key());
}

// ---- reading a container again ----

TEST_F(BrowserTest, RefreshingABranchReadsItAfreshInItsPlace) {
    const fs::path file = useCopyOfDirectory();
    store("Settings\\Corp", "Current Context", key("Acme\\sales\\North").toStdString());
    loadAndShow();
    EXPECT_EQ(childTexts(rcNode("Acme\\sales")), (QStringList{"North", "Voss", "WS02"}));
    std::ofstream(file, std::ios::app) << "\ndn: cn=Baum,ou=sales,o=Acme,dc=Corp\n"
                                          "objectClass: ktrUser\ncn: Baum\nsurname: Baum\n";

    rightPress(rc(), centreOf(rc(), rcNode("Acme\\sales")));
    form->menuItem("mnuRefreshTreeBranch")->trigger();
    QTreeWidgetItem* sales = rcNode("Acme\\sales");
    ASSERT_NE(sales, nullptr);
    EXPECT_EQ(rcNode("Acme\\sales\\North"), nullptr) << "the old level went with it";
    EXPECT_EQ(rc().selectedNode(), sales);
    EXPECT_FALSE(sales->isExpanded());
    EXPECT_EQ(KeyedTree::tagOf(sales), key("Acme\\sales"));
    ASSERT_EQ(sales->childCount(), 1);
    EXPECT_EQ(sales->child(0)->text(0), "_dummy_");
    EXPECT_EQ(KeyedTree::tagOf(sales->child(0)), key("Acme\\sales"));
    EXPECT_EQ(childTexts(rcNode("Acme")).last(), "sales") << "back in its sorted place";
    EXPECT_EQ(form->MousePointer(), platform::forms::pointer::kDefault);

    const size_t reads = rcReads();
    sales->setExpanded(true);
    EXPECT_EQ(rcReads(), reads + 1);
    EXPECT_EQ(childTexts(sales), (QStringList{"Baum", "North", "Voss", "WS02"}));
}

TEST_F(BrowserTest, RefreshingTheRootBuildsTheTreeAgain) {
    loadAndShow();
    rcNode("DE")->setExpanded(true);
    ASSERT_NE(rcNode("DE\\Nord"), nullptr);
    rightPress(rc(), centreOf(rc(), rcNode()));
    form->menuItem("mnuRefreshTreeBranch")->trigger();
    ASSERT_EQ(rc().topLevelItemCount(), 1);
    EXPECT_EQ(rc().selectedNode(), rcNode());
    EXPECT_EQ(rcNode("DE\\Nord"), nullptr) << "read afresh when opened";
    EXPECT_EQ(rcNode("DE")->child(0)->text(0), "_dummy_");
    EXPECT_EQ(form->statusText(), "Context: " + key());
}
