// What the views and windows offer the keyboard and the eye: the context-menu
// keys, a list the Tab key enters ready for Enter and the arrows, a focus
// frame on the tree, Escape on the help window, the whole text of what a
// column or a status panel cuts off, the name box's picture going when its
// text is edited, and the splitter grip's pointer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <memory>

#include "platform/forms/helpviewer.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/imagelist.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/keyedlistview.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/mousegrip.h"
#include "platform/forms/statusbar.h"
#include "platform/forms/viewcues.h"

using namespace platform::forms;

namespace {

// A window with a line edit first in the tab order and a view after it.
template <typename View>
struct Window {
    QWidget top;
    QLineEdit* before = new QLineEdit(&top);
    View* view;
    template <typename... A>
    explicit Window(A&&... args) : view(new View(std::forward<A>(args)..., &top)) {
        auto* layout = new QVBoxLayout(&top);
        layout->addWidget(before);
        layout->addWidget(view);
        top.resize(300, 300);
        top.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&top));
        QApplication::setActiveWindow(&top);
        before->setFocus();
    }
    void tabIn() { QTest::keyClick(before, Qt::Key_Tab); }
};

TEST(ContextMenuKeys, MenuKeyAndShiftF10AskTheTreeAndTheListForTheirMenu) {
    Window<KeyedTree> tree;
    tree.view->addNode("", "KTR:\\\\T", "T", "");
    QSignalSpy treeAsked(tree.view, &KeyedTree::contextMenuKey);
    QSignalSpy typed(tree.view, &KeyedTree::keyPress);
    tree.view->setFocus();
    QTest::keyClick(tree.view, Qt::Key_Menu);
    QTest::keyClick(tree.view, Qt::Key_F10, Qt::ShiftModifier);
    QTest::keyClick(tree.view, Qt::Key_F10);
    QTest::keyClick(tree.view, Qt::Key_F10, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(treeAsked.count(), 2) << "F10 alone or with Ctrl is no menu key";

    Window<KeyedListView> list(QStringList{"Search Results"});
    list.view->addItem("a", "A");
    QSignalSpy listAsked(list.view, &KeyedListView::contextMenuKey);
    list.view->setFocus();
    QTest::keyClick(list.view, Qt::Key_Menu);
    QTest::keyClick(list.view, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(listAsked.count(), 2);

    // A context-menu event the platform makes of the Menu key opens nothing
    // a second time.
    QContextMenuEvent fromKeys(QContextMenuEvent::Keyboard, QPoint(5, 5),
                               list.view->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(list.view, &fromKeys);
    EXPECT_TRUE(fromKeys.isAccepted());
    EXPECT_EQ(listAsked.count(), 2);
}

TEST(ListFocus, TabbingIntoTheListSelectsItsFirstRowAndTheArrowsMoveTheSelection) {
    Window<KeyedListView> w(QStringList{"Search Results"});
    for (const char* name : {"a", "b", "c"}) w.view->addItem(name, QString(name).toUpper());
    QSignalSpy chosen(w.view, &KeyedListView::itemClick);
    QSignalSpy typed(w.view, &KeyedListView::keyPress);
    w.tabIn();
    ASSERT_TRUE(w.view->hasFocus());
    EXPECT_EQ(w.view->selectedRow(), 0);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toInt(), 0);

    QTest::keyClick(w.view, Qt::Key_Down);
    EXPECT_EQ(w.view->selectedRow(), 1);
    QTest::keyClick(w.view, Qt::Key_Down);
    QTest::keyClick(w.view, Qt::Key_Up);
    EXPECT_EQ(w.view->selectedRow(), 1);
    EXPECT_EQ(chosen.last().at(0).toInt(), 1);
    QTest::keyClick(w.view, Qt::Key_Return);
    ASSERT_EQ(typed.count(), 1);
    EXPECT_EQ(typed.at(0).at(0).toInt(), 13);
    EXPECT_EQ(w.view->selectedRow(), 1) << "Enter acts on the selected row";
}

TEST(ListFocus, FocusLeavesAListsSelectionAndAnEmptyListAlone) {
    Window<KeyedListView> w(QStringList{"Search Results"});
    QSignalSpy chosen(w.view, &KeyedListView::itemClick);
    w.tabIn();
    EXPECT_EQ(w.view->selectedRow(), -1);
    EXPECT_EQ(chosen.count(), 0);

    for (const char* name : {"a", "b", "c"}) w.view->addItem(name, name);
    w.view->setCurrentRow(2);
    w.before->setFocus();
    w.tabIn();
    EXPECT_EQ(w.view->selectedRow(), 2) << "the selection stays where it was";
    EXPECT_EQ(chosen.count(), 0);
}

TEST(TreeFocus, TheTreeShowsWhenItHasTheFocus) {
    Window<KeyedTree> w;
    w.view->addNode("", "KTR:\\\\T", "T", "");
    w.view->addNode("KTR:\\\\T", "KTR:\\\\T\\A", "A", "");
    const QImage without = w.view->grab().toImage();
    w.tabIn();
    ASSERT_TRUE(w.view->hasFocus());
    EXPECT_NE(w.view->currentItem(), nullptr) << "the keys have a node to move from";
    const QImage with = w.view->grab().toImage();
    EXPECT_NE(with, without);
    // Along the edge, where no row is drawn, the frame takes the highlight.
    const QPoint edge =
        w.view->viewport()->mapTo(w.view, w.view->viewport()->rect().bottomLeft()) + QPoint(1, -1);
    EXPECT_EQ(with.pixelColor(edge),
              w.view->palette().color(QPalette::Active, QPalette::Highlight));
    w.before->setFocus();
    EXPECT_EQ(w.view->grab().toImage(), without);
}

TEST(HelpWindowKeys, EscapeClosesTheHelpWindow) {
    HelpWindow help;
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    QApplication::setActiveWindow(&help);
    QTest::keyClick(help.browser(), Qt::Key_Escape);
    EXPECT_FALSE(help.isVisible());
}

TEST(CutOffText, AColumnTooNarrowForItsTextGivesTheWholeText) {
    Window<KeyedListView> w(QStringList{"Search Results"});
    const QString longText = "Workstation not in database: IPX 0000AC11:00805FDED8EC:4003";
    w.view->addItem("", longText);
    w.view->addItem("k", "WS1");
    w.view->setColumnWidth(0, 80);
    const QPoint first = w.view->rowRect(0).center();
    EXPECT_EQ(cutOffTextAt(*w.view, first), longText);
    EXPECT_EQ(cutOffTextAt(*w.view, w.view->rowRect(1).center()), "") << "WS1 fits";
    w.view->setColumnWidth(0, 1000);
    EXPECT_EQ(cutOffTextAt(*w.view, first), longText) << "past the view's right edge";
    w.top.resize(900, 300);
    QApplication::processEvents();
    w.view->setColumnWidth(0, w.view->sizeHintForIndex(w.view->model()->index(0, 0)).width());
    ASSERT_GT(w.view->viewport()->width(), w.view->columnWidth(0));
    EXPECT_EQ(cutOffTextAt(*w.view, first), "") << "exactly wide enough";
    EXPECT_EQ(cutOffTextAt(*w.view, QPoint(5, w.view->viewport()->height() - 2)), "")
        << "below the rows";
}

TEST(CutOffText, AnAttributeValueCutOffByItsColumnGivesTheWholeValue) {
    Window<KeyedList> w(QStringList{"Attribute", "Value"});
    QTreeWidgetItem* row = w.view->addItem("", "Network Address");
    row->setText(1, "IPX 0000AC11:00805FDED8EC:4003");
    w.view->setColumnWidth(0, 200);
    w.view->setColumnWidth(1, 40);
    const QRect value = w.view->visualItemRect(row);
    const QPoint inValue(w.view->columnViewportPosition(1) + 5, value.center().y());
    EXPECT_EQ(cutOffTextAt(*w.view, inValue), "IPX 0000AC11:00805FDED8EC:4003");
    EXPECT_EQ(cutOffTextAt(*w.view, QPoint(5, value.center().y())), "") << "the name fits";
}

TEST(CutOffText, AStatusPanelTooNarrowForItsTextGivesTheWholeText) {
    QWidget top;
    auto* bar = new StatusBar(2, &top);
    top.resize(400, 100);
    bar->setGeometry(0, 70, 400, bar->height());
    top.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));
    bar->setPanelText(2, "Searching ...");
    EXPECT_EQ(bar->cutOffText(2), "");
    const QString longText =
        "Workstation not in database: IPX 0000AC11:00805FDED8EC:4003 - please update the "
        "Workstation Database and search again for this user";
    bar->setPanelText(2, longText);
    QApplication::processEvents();
    EXPECT_EQ(bar->cutOffText(2), longText);
    EXPECT_LE(bar->findChildren<QLabel*>().at(1)->geometry().right(), bar->width())
        << "a long text keeps the panel within the bar";
}

TEST(NameBox, EditingTheTextDropsTheChosenItemsPictureAndKeepsWhatIsTyped) {
    ImageList images = ImageList::classImages();
    Window<ImageCombo> w;
    w.view->setImageList(&images);
    w.view->addKeyedItem("KTR:\\\\T\\WS1", "WS1.T", "Workstation");
    w.view->setCurrentIndex(0);
    ASSERT_EQ(w.view->currentIndex(), 0);
    w.view->setFocus();
    w.view->lineEdit()->selectAll();
    QTest::keyClicks(w.view->lineEdit(), "Smi");
    EXPECT_EQ(w.view->currentIndex(), -1) << "no item's picture beside a typed name";
    EXPECT_EQ(w.view->currentText(), "Smi");
    EXPECT_EQ(w.view->lineEdit()->cursorPosition(), 3);
    // Text set by the program (a chosen node's name) is no edit.
    w.view->setCurrentIndex(0);
    w.view->setEditText("WS1.T");
    EXPECT_EQ(w.view->currentIndex(), 0);
}

TEST(SplitterGrip, ShowsTheResizePointerOfItsDirection) {
    QWidget top;
    auto* vertical = new MouseGrip(Qt::SplitHCursor, &top);
    auto* horizontal = new MouseGrip(Qt::SplitVCursor, &top);
    EXPECT_EQ(vertical->cursor().shape(), Qt::SplitHCursor);
    EXPECT_EQ(horizontal->cursor().shape(), Qt::SplitVCursor);
}

}  // namespace

namespace {

TEST(CheckList, TheCheckBoxesOfTwoRowsStandApartAndAreNotClipped) {
    Window<KeyedList> w(QStringList{"Attribute"});
    w.view->setCheckboxes(true);
    w.view->setHeaderHidden(true);
    QTreeWidgetItem* first = w.view->addItem("", "CN");
    QTreeWidgetItem* second = w.view->addItem("", "Surname");
    QApplication::processEvents();
    const int box = w.view->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, w.view);
    const QRect a = w.view->visualItemRect(first);
    const QRect b = w.view->visualItemRect(second);
    EXPECT_GE(a.height(), box + 4) << "room above and below the box";
    EXPECT_GE(b.top() - a.top(), box + 4);
    // A plain list keeps rows of its text's height.
    Window<KeyedList> plain(QStringList{"Attribute"});
    QTreeWidgetItem* row = plain.view->addItem("", "CN");
    QApplication::processEvents();
    EXPECT_LT(plain.view->visualItemRect(row).height(), a.height());
}

}  // namespace
