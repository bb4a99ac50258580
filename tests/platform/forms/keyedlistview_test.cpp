// Tests of the model-backed keyed list: the same keys, texts, pictures,
// headers and events as the widget list, rows added in one go that are only
// read when shown or looked up, and duplicate keys refused across both kinds
// of rows.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <atomic>

#include "errorof.h"
#include "platform/forms/errors.h"
#include "platform/forms/imagelist.h"
#include "platform/forms/keyed.h"
#include "platform/forms/keyedlistview.h"
#include "platform/forms/mouse.h"

using namespace platform::forms;
using formstest::errorOf;

namespace {

// Rows "KTR:\\T\\U<n>" / "U<n>.T" that count how often they are read.
class CountedRows : public RowSource {
public:
    explicit CountedRows(qsizetype n) : n_(n) {}
    qsizetype size() const override { return n_; }
    QString keyAt(qsizetype row) const override {
        ++reads;
        return "KTR:\\\\T\\U" + QString::number(row);
    }
    QString textAt(qsizetype row) const override {
        ++reads;
        return "U" + QString::number(row) + ".T";
    }
    mutable std::atomic<int> reads{0};

private:
    qsizetype n_;
};

}  // namespace

TEST(KeyedListView, HeadersWidthsAndItemsAsTheWidgetListHasThem) {
    const ImageList images = ImageList::classImages();
    KeyedListView list({"Search Results"});
    list.setImageList(&images);
    EXPECT_EQ(list.columnHeader(1), "Search Results");
    list.setColumnHeader(1, "Multiple users found ...");
    EXPECT_EQ(list.columnHeader(1), "Multiple users found ...");
    EXPECT_EQ(list.model()->headerData(0, Qt::Horizontal).toString(), "Multiple users found ...");
    EXPECT_EQ(errorOf([&] { list.setColumnHeader(2, "x"); }), errors::kElementNotFound);
    EXPECT_EQ(errorOf([&] { (void)list.columnHeader(0); }), errors::kElementNotFound);
    list.setColumnWidthTwips(1, 3000);
    EXPECT_EQ(list.columnWidthTwips(1), 3000);
    EXPECT_EQ(errorOf([&] { list.setColumnWidthTwips(1, -15); }), errors::kInvalidPropertyValue);

    // Message rows have no key, and several of them may stand in the list.
    EXPECT_EQ(list.addItem("", "Workstation not in database: IPX 1:2:3", "Workstation"), 0);
    EXPECT_EQ(list.addItem("", "Workstation not in database: TCP 1.2.3.4", "Workstation"), 1);
    EXPECT_EQ(list.addItem("KTR:\\\\T\\A\\Smith", "Smith.A", "User"), 2);
    EXPECT_EQ(errorOf([&] { list.addItem("KTR:\\\\T\\A\\SMITH", "x", "User"); }),
              errors::kKeyNotUnique);
    EXPECT_EQ(errorOf([&] { list.addItem("KTR:\\\\T\\A\\Jones", "x", "NoSuchPicture"); }),
              errors::kElementNotFound);
    ASSERT_EQ(list.count(), 3) << "a refused row leaves the list as it was";
    EXPECT_EQ(list.row("ktr:\\\\t\\a\\smith"), 2);
    EXPECT_EQ(list.row(""), -1) << "the empty key finds no message row";
    EXPECT_EQ(list.row("KTR:\\\\T\\A\\Jones"), -1);
    EXPECT_EQ(list.keyAt(2), "KTR:\\\\T\\A\\Smith");
    EXPECT_EQ(list.textAt(2), "Smith.A");
    EXPECT_EQ(list.smallIconAt(2), "User");
    EXPECT_EQ(list.smallIconAt(0), "Workstation");
    const QModelIndex smith = list.model()->index(2, 0);
    EXPECT_EQ(smith.data(Qt::DisplayRole).toString(), "Smith.A");
    EXPECT_EQ(smith.data(KeyRole).toString(), "KTR:\\\\T\\A\\Smith");
    EXPECT_FALSE(smith.data(Qt::DecorationRole).value<QIcon>().isNull());

    list.clearItems();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.row("KTR:\\\\T\\A\\Smith"), -1);
    EXPECT_EQ(list.addItem("KTR:\\\\T\\A\\Smith", "Smith.A", "User"), 0)
        << "a cleared key is free again";
}

TEST(KeyedListView, RowsAddedInOneGoAreReadOnlyWhenShownOrLookedUp) {
    const ImageList images = ImageList::classImages();
    KeyedListView list({"Search Results"});
    list.setImageList(&images);
    list.resize(300, 200);
    list.addItem("KTR:\\\\T\\First", "First.T", "Workstation");
    auto rows = std::make_shared<CountedRows>(100000);
    QSignalSpy inserted(list.model(), &QAbstractItemModel::rowsInserted);
    list.addRows(rows, "User");
    EXPECT_EQ(inserted.size(), 1) << "one signal for the whole run";
    EXPECT_EQ(list.count(), 100001);
    EXPECT_EQ(rows->reads, 0) << "nothing is built before a row is asked for";

    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    EXPECT_LT(rows->reads, 1000) << "only the rows in sight are read";
    EXPECT_EQ(list.textAt(100000), "U99999.T");
    EXPECT_EQ(list.keyAt(1), "KTR:\\\\T\\U0");
    EXPECT_EQ(list.smallIconAt(1), "User");
    EXPECT_EQ(list.smallIconAt(0), "Workstation");

    // A key is looked up across both kinds of rows; a duplicate is refused.
    EXPECT_EQ(list.row("ktr:\\\\t\\u5"), 6);
    EXPECT_EQ(errorOf([&] { list.addItem("KTR:\\\\T\\U77", "x", "User"); }), errors::kKeyNotUnique);
    EXPECT_EQ(list.addItem("KTR:\\\\T\\Last", "Last.T", "User"), 100001);
    EXPECT_EQ(list.row("KTR:\\\\T\\Last"), 100001);

    list.setCurrentRow(100001);
    EXPECT_EQ(list.selectedRow(), 100001);
    list.setCurrentRow(-1);
    EXPECT_EQ(list.selectedRow(), -1);

    // An empty run adds nothing.
    list.addRows(std::make_shared<CountedRows>(0), "User");
    EXPECT_EQ(list.count(), 100002);
}

TEST(KeyedListView, ReportsPressesItemClicksClicksDoubleClicksAndKeys) {
    KeyedListView list({"Search Results"});
    list.addItem("a", "a");
    list.addItem("b", "b");
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QSignalSpy presses(&list, &KeyedListView::mouseDown);
    QSignalSpy items(&list, &KeyedListView::itemClick);
    QSignalSpy clicks(&list, &KeyedListView::click);
    QSignalSpy doubles(&list, &KeyedListView::dblClick);
    QSignalSpy keys(&list, &KeyedListView::keyPress);
    // Every press is reported before the list selects anything.
    QObject::connect(&list, &KeyedListView::mouseDown, [&] { EXPECT_EQ(list.selectedRow(), -1); });

    const QPoint a = list.rowRect(list.row("a")).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, a);
    ASSERT_EQ(presses.size(), 1);
    EXPECT_EQ(presses[0][0].toInt(), mouse::kLeftButton);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0][0].toInt(), 0);
    EXPECT_EQ(clicks.size(), 1);
    EXPECT_EQ(list.rowAtPoint(a), 0);
    EXPECT_EQ(list.selectedRow(), 0);
    list.clearSelection();

    // The right button is left to the owner: the list chooses nothing itself.
    QTest::mouseClick(list.viewport(), Qt::RightButton, {}, list.rowRect(1).center());
    EXPECT_EQ(presses.size(), 2);
    EXPECT_EQ(presses[1][0].toInt(), mouse::kRightButton);
    EXPECT_EQ(list.selectedRow(), -1);
    EXPECT_EQ(items.size(), 1);
    EXPECT_EQ(clicks.size(), 1);

    // A click beside the rows is a click, not a row's.
    const QPoint beside(5, list.viewport()->height() - 2);
    EXPECT_EQ(list.rowAtPoint(beside), -1);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, beside);
    EXPECT_EQ(clicks.size(), 2);
    EXPECT_EQ(items.size(), 1);

    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, a);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, a);
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, a);
    EXPECT_EQ(doubles.size(), 1);

    QTest::keyClick(&list, Qt::Key_Down);
    ASSERT_EQ(items.size(), 3) << "moving to a row with the keys chooses it";
    EXPECT_EQ(items[2][0].toInt(), 1);
    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(items.size(), 3) << "no move past the last row, no choice";
    QTest::keyClick(&list, Qt::Key_Return);
    QTest::keyClick(&list, 'x');
    ASSERT_EQ(keys.size(), 2) << "moving types nothing";
    EXPECT_EQ(keys[0][0].toInt(), 13);
    EXPECT_EQ(keys[1][0].toInt(), 'x');
}

namespace {

// Rows that come ten at a time up to a total, as a server's pages do.
class GrowingRows : public RowSource {
public:
    explicit GrowingRows(qsizetype total) : total_(total) {}
    qsizetype size() const override { return read_; }
    QString keyAt(qsizetype row) const override { return "K" + QString::number(row); }
    QString textAt(qsizetype row) const override { return "R" + QString::number(row); }
    bool canReadMore() const override { return read_ < total_; }
    void readMore() const override {
        ++pages;
        read_ = std::min(total_, read_ + 10);
    }
    mutable int pages = 0;

private:
    qsizetype total_;
    mutable qsizetype read_ = 10;
};

}  // namespace

TEST(KeyedListView, RowsStillComingAreReadAsTheListIsScrolledToItsEnd) {
    KeyedListView list({"Search Results"});
    list.resize(300, 200);
    auto rows = std::make_shared<GrowingRows>(95);
    list.addRows(rows, {});
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    // The view fills itself, then waits until it is scrolled.
    QTest::qWait(50);
    const int pagesShown = rows->pages;
    EXPECT_LT(list.count(), 95);
    for (int i = 0; i < 20 && list.model()->canFetchMore({}); ++i) {
        list.scrollToBottom();
        QTest::qWait(10);
    }
    EXPECT_EQ(list.count(), 95);
    EXPECT_GT(rows->pages, pagesShown);
    EXPECT_EQ(list.textAt(94), "R94");
    EXPECT_EQ(list.row("k93"), 93);  // rows that came later are found by key

    // A run added after a growing one ends its growth: its rows keep their places.
    KeyedListView other({"Search Results"});
    auto more = std::make_shared<GrowingRows>(50);
    other.addRows(more, {});
    other.addItem("last", "Last");
    EXPECT_FALSE(other.model()->canFetchMore({}));
    EXPECT_EQ(other.count(), 11);
    EXPECT_EQ(other.textAt(10), "Last");
}
