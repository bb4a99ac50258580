// The search anchor in the remote-action tree: restored at start-up wherever
// it lies (its container is opened), on the tree root too, cleared when it is
// gone; fixed, moved and cleared through the tree menu; kept marked when a
// container is read again.
#include <QAction>
#include <QLineEdit>

#include "browserfixture.h"

namespace {

bool marked(const QTreeWidgetItem* node) {
    return node->font(0).bold() && node->background(0).color() == QColor(0xFF, 0xE0, 0xC0);
}
bool unmarked(const QTreeWidgetItem* node) {
    return !node->font(0).bold() && node->background(0).style() == Qt::NoBrush;
}

}  // namespace

class AnchorTest : public BrowserTest {
protected:
    void chooseInMenu(const QString& path) {
        ASSERT_NE(rcNode(path), nullptr) << path.toStdString() << " is not shown";
        rightPress(rc(), centreOf(rc(), rcNode(path)));
        ASSERT_EQ(rc().selectedNode(), rcNode(path));
        form->menuItem("mnuSearchAnchor")->trigger();
    }
};

TEST_F(AnchorTest, AStoredAnchorIsMarkedWhereverItLies) {
    // The context is the root: nothing on the way to the anchor is open yet.
    const QString anchor = key("Acme\\sales\\North");
    store("Settings\\Corp", "SearchAnchor", anchor.toStdString());
    loadAndShow();
    ASSERT_NE(rcNode("Acme\\sales\\North"), nullptr) << "its container was opened";
    EXPECT_TRUE(marked(rcNode("Acme\\sales\\North")));
    EXPECT_EQ(form->txtSearchAnchor->text(), anchor);
    EXPECT_TRUE(form->anchorFixed);
    EXPECT_EQ(form->currentContext, key()) << "the anchor does not change the context";
    EXPECT_EQ(form->statusText(), "Context: " + key());
}

TEST_F(AnchorTest, AnAnchorOnTheTreeRootIsRestored) {
    store("Settings\\Corp", "SearchAnchor", key().toStdString());
    loadAndShow();
    EXPECT_TRUE(form->anchorFixed);
    EXPECT_TRUE(marked(rcNode()));
    form->close();
    EXPECT_EQ(stored("Settings\\Corp", "SearchAnchor"), key().toStdString());
}

TEST_F(AnchorTest, AStoredAnchorThatIsGoneIsCleared) {
    store("Settings\\Corp", "Current Context", key("Acme\\HR").toStdString());
    store("Settings\\Corp", "SearchAnchor", key("Acme\\Closed\\Unit").toStdString());
    ASSERT_EQ(load(), tvn::frmMain::LoadResult::Show);
    EXPECT_TRUE(form->settingsLoaded);
    EXPECT_FALSE(form->anchorFixed);
    EXPECT_EQ(form->searchAnchor, "");
    EXPECT_EQ(form->txtSearchAnchor->text(), "the current browser's context.");
    EXPECT_EQ(rc().selectedNode(), rcNode("Acme\\HR")) << "the tree shows the context again";
    form->close();
    EXPECT_EQ(stored("Settings\\Corp", "SearchAnchor"), "");
}

TEST_F(AnchorTest, FixingTheAnchorOnAnotherContainerMovesTheMarking) {
    store("Settings\\Corp", "Current Context", key("Acme").toStdString());
    store("Settings\\Corp", "SearchAnchor", key("Acme\\sales").toStdString());
    loadAndShow();
    ASSERT_TRUE(marked(rcNode("Acme\\sales")));

    ASSERT_NO_FATAL_FAILURE(chooseInMenu("Acme\\HR"));
    EXPECT_TRUE(form->menuItem("mnuSearchAnchor")->isChecked());
    EXPECT_TRUE(unmarked(rcNode("Acme\\sales")));
    EXPECT_TRUE(marked(rcNode("Acme\\HR")));
    EXPECT_EQ(form->searchAnchor, key("Acme\\HR"));
    EXPECT_EQ(form->txtSearchAnchor->text(), key("Acme\\HR"));
    EXPECT_TRUE(form->anchorFixed);
    EXPECT_EQ(form->statusText(), " Searching always from: " + key("Acme\\HR"));
}

TEST_F(AnchorTest, ChoosingTheCheckedCommandAgainClearsTheAnchor) {
    store("Settings\\Corp", "Current Context", key("Acme\\Marketing").toStdString());
    loadAndShow();
    ASSERT_NO_FATAL_FAILURE(chooseInMenu("Acme\\Marketing"));
    ASSERT_TRUE(marked(rcNode("Acme\\Marketing")));

    ASSERT_NO_FATAL_FAILURE(chooseInMenu("Acme\\Marketing"));
    EXPECT_FALSE(form->menuItem("mnuSearchAnchor")->isChecked());
    EXPECT_TRUE(unmarked(rcNode("Acme\\Marketing")));
    EXPECT_FALSE(form->anchorFixed);
    EXPECT_EQ(form->searchAnchor, "");
    EXPECT_EQ(form->txtSearchAnchor->text(), "the current browser's context.");
    EXPECT_EQ(form->statusText(), "");
    form->close();
    EXPECT_EQ(stored("Settings\\Corp", "SearchAnchor"), "");
}

TEST_F(AnchorTest, ReadingTheAnchorsContainerAgainKeepsItMarked) {
    store("Settings\\Corp", "SearchAnchor", key("Acme\\sales\\North").toStdString());
    loadAndShow();
    rightPress(rc(), centreOf(rc(), rcNode("Acme\\sales")));
    form->menuItem("mnuRefreshTreeBranch")->trigger();
    ASSERT_NE(rcNode("Acme\\sales\\North"), nullptr) << "opened again to mark the anchor";
    EXPECT_TRUE(marked(rcNode("Acme\\sales\\North")));
    EXPECT_TRUE(form->anchorFixed);

    rightPress(rc(), centreOf(rc(), rcNode()));
    form->menuItem("mnuRefreshTreeBranch")->trigger();
    ASSERT_NE(rcNode("Acme\\sales\\North"), nullptr);
    EXPECT_TRUE(marked(rcNode("Acme\\sales\\North")))
        << "also after the whole tree was built again";
}
