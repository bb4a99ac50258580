// Tests of the forms layer: keyed nodes, items and combo entries, the image
// list, twips, the status bar's click rules, the tab strip and the services
// (the standard error log on a terminal and on a pipe).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "errorof.h"
#include "fakeservices.h"
#include "platform/forms/errors.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/imagelist.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/mouse.h"
#include "platform/forms/statusbar.h"
#include "platform/forms/tabstrip.h"
#include "platform/forms/twips.h"

using namespace platform::forms;
using formstest::errorOf;

TEST(ImageList, ClassImagesAreDistinctAndUnknownKeysFail) {
    const ImageList images = ImageList::classImages();
    EXPECT_EQ(images.keys(), QStringList({"Top", "Alias", "Country", "Organization",
                                          "Organizational Unit", "User", "Workstation"}));
    QList<QImage> seen;
    for (const QString& key : images.keys()) {
        const QImage image = images.icon(key).pixmap(16, 16).toImage();
        ASSERT_FALSE(image.isNull()) << key.toStdString();
        EXPECT_FALSE(seen.contains(image)) << key.toStdString() << " looks like another class";
        seen.append(image);
    }
    EXPECT_EQ(errorOf([&] { images.icon("Printer"); }), errors::kElementNotFound);
    ImageList copy = images;
    EXPECT_EQ(errorOf([&] { copy.add("User", QIcon()); }), errors::kKeyNotUnique);
}

TEST(KeyedTree, KeysAreUniqueIgnoringCaseAndFailuresAddNothing) {
    const ImageList images = ImageList::classImages();
    KeyedTree tree;
    tree.setImageList(&images);
    tree.addNode("", "KTR:\\\\T", "T", "Top");
    tree.addNode("KTR:\\\\T", "KTR:\\\\T\\Acme", "Acme", "Organization");

    EXPECT_EQ(errorOf([&] { tree.addNode("KTR:\\\\T", "ktr:\\\\t\\ACME", "x", "User"); }),
              errors::kKeyNotUnique);
    EXPECT_EQ(errorOf([&] { tree.addNode("KTR:\\\\Nowhere", "k", "x", "User"); }),
              errors::kElementNotFound);
    EXPECT_EQ(errorOf([&] { tree.addNode("KTR:\\\\T", "k", "x", "Printer"); }),
              errors::kElementNotFound);
    EXPECT_EQ(tree.node("k"), nullptr);
    EXPECT_EQ(tree.topLevelItem(0)->childCount(), 1);

    QTreeWidgetItem* acme = tree.node("KTR:\\\\t\\acme");
    ASSERT_NE(acme, nullptr);
    EXPECT_EQ(KeyedTree::keyOf(acme), "KTR:\\\\T\\Acme");
    EXPECT_EQ(KeyedTree::imageOf(acme), "Organization");
}

TEST(KeyedTree, KeysFoldAsUnicodeCaseFoldingDoesWhetherOrNotTheyAreAscii) {
    QString ascii;
    for (char16_t c = 0; c < 0x80; ++c) ascii.append(QChar(c));
    for (const QString& text : {ascii, QString("KTR:\\\\Corp\\Acme\\WS042"), QString("lower"),
                                QString(), QString::fromUtf8("M\xc3\x9cLLER \xc3\x84rzte"),
                                QString::fromUtf8("Stra\xc3\x9f" "e"),
                                QString::fromUtf8("\xce\xa3\xce\x8a\xce\xa3\xce\xa5\xce\xa6")})
        EXPECT_EQ(foldedText(text), text.toCaseFolded()) << text.toStdString();

    const ImageList images = ImageList::classImages();
    KeyedTree tree;
    tree.setImageList(&images);
    tree.addNode("", "KTR:\\\\T", "T", "Top");
    tree.addNode("KTR:\\\\T", QString::fromUtf8("KTR:\\\\T\\M\xc3\xbcller"), "M", "User");
    EXPECT_EQ(errorOf([&] {
                  tree.addNode("KTR:\\\\T", QString::fromUtf8("ktr:\\\\t\\M\xc3\x9cLLER"), "x",
                               "User");
              }),
              errors::kKeyNotUnique);
    EXPECT_NE(tree.node(QString::fromUtf8("KTR:\\\\T\\M\xc3\x9cller")), nullptr);
}

TEST(KeyedTree, RemovingASubtreeFreesAllItsKeys) {
    KeyedTree tree;
    tree.addNode("", "root", "root", "");
    tree.addNode("root", "a", "a", "");
    tree.addNode("a", "a1", "a1", "");
    tree.removeNode("a");
    EXPECT_EQ(tree.node("a1"), nullptr);
    EXPECT_NO_THROW(tree.addNode("root", "a1", "again", ""));
    EXPECT_EQ(errorOf([&] { tree.removeNode("gone"); }), errors::kElementNotFound);

    EXPECT_EQ(tree.selectedNode(), nullptr);
    tree.node("a1")->setSelected(true);
    EXPECT_EQ(KeyedTree::keyOf(tree.selectedNode()), "a1");
    tree.clearNodes();
    EXPECT_NO_THROW(tree.addNode("", "root", "root", ""));
}

TEST(KeyedTree, ALevelGoesInAtOnceOrNotAtAll) {
    KeyedTree tree;
    tree.addNode("", "root", "root", "");
    tree.addNode("root", "taken", "taken", "");
    {
        KeyedTree::Level level = tree.level("root");
        QTreeWidgetItem* a = level.add("a", "a", "");
        level.addBelow(a, "a.child", "child", "");
        EXPECT_EQ(errorOf([&] { level.add("TAKEN", "x", ""); }), errors::kKeyNotUnique);
        EXPECT_EQ(errorOf([&] { level.add("A", "x", ""); }), errors::kKeyNotUnique)
            << "a key this level already gave out";
        EXPECT_EQ(tree.node("a"), nullptr) << "nothing is in the tree before the commit";
    }
    EXPECT_EQ(tree.node("root")->childCount(), 1) << "a level not committed is discarded";
    EXPECT_NO_THROW(tree.addNode("root", "a", "a", ""));

    KeyedTree::Level level = tree.level("root");
    level.addBelow(level.add("b", "b", ""), "b.child", "child", "");
    level.commit();
    ASSERT_NE(tree.node("b.child"), nullptr);
    EXPECT_EQ(tree.node("b.child")->parent(), tree.node("b"));
    EXPECT_EQ(errorOf([&] { tree.level("nowhere"); }), errors::kElementNotFound);
}

TEST(KeyedTree, ASortedNodeKeepsItsChildrenInOrderWithoutRegardToCase) {
    KeyedTree tree;
    tree.addNode("", "root", "root", "");
    KeyedTree::Level level = tree.level("root");
    for (const char* name : {"delta", "Bravo", "charlie"}) level.add(name, name, "");
    level.commit();
    tree.setSorted(tree.node("root"));
    auto children = [&] {
        QStringList texts;
        for (int i = 0; i < tree.node("root")->childCount(); ++i)
            texts << tree.node("root")->child(i)->text(0);
        return texts;
    };
    EXPECT_EQ(children(), (QStringList{"Bravo", "charlie", "delta"}));
    tree.addNode("root", "alpha", "alpha", "");
    tree.addNode("root", "Echo", "Echo", "");
    tree.addNode("root", "Caesar", "Caesar", "");
    EXPECT_EQ(children(), (QStringList{"alpha", "Bravo", "Caesar", "charlie", "delta", "Echo"}));
    EXPECT_TRUE(KeyedTree::isSorted(tree.node("root")));
    EXPECT_FALSE(KeyedTree::isSorted(tree.node("alpha")));

    // A level committed below a sorted node goes in sorted.
    tree.setSorted(tree.node("alpha"));
    KeyedTree::Level below = tree.level("alpha");
    for (const char* name : {"z", "Y", "x"}) below.add(QString("alpha.") + name, name, "");
    below.commit();
    QStringList texts;
    for (int i = 0; i < tree.node("alpha")->childCount(); ++i)
        texts << tree.node("alpha")->child(i)->text(0);
    EXPECT_EQ(texts, (QStringList{"x", "Y", "z"}));
}

TEST(KeyedTree, ReportsChoicesKeysAndPresses) {
    KeyedTree tree;
    tree.addNode("", "root", "root", "");
    tree.addNode("root", "a", "a", "");
    tree.addNode("root", "b", "b", "");
    tree.node("root")->setExpanded(true);
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    QSignalSpy clicks(&tree, &KeyedTree::nodeClick);
    QSignalSpy keys(&tree, &KeyedTree::keyPress);
    QSignalSpy presses(&tree, &KeyedTree::mouseDown);

    const QPoint a = tree.visualItemRect(tree.node("a")).center();
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, a);
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(clicks[0][0].value<QTreeWidgetItem*>(), tree.node("a"));
    ASSERT_EQ(presses.size(), 1);
    EXPECT_EQ(presses[0][0].toInt(), mouse::kLeftButton);
    EXPECT_EQ(tree.nodeAt(a), tree.node("a"));

    // The right button is left to the owner: the tree chooses nothing itself.
    QTest::mouseClick(tree.viewport(), Qt::RightButton, {},
                      tree.visualItemRect(tree.node("b")).center());
    EXPECT_EQ(presses.size(), 2);
    EXPECT_EQ(presses[1][0].toInt(), mouse::kRightButton);
    EXPECT_EQ(tree.selectedNode(), tree.node("a"));
    EXPECT_EQ(clicks.size(), 1);

    QTest::keyClick(&tree, Qt::Key_Down);
    EXPECT_EQ(clicks.size(), 2) << "moving to a node with the keys chooses it";
    EXPECT_EQ(clicks[1][0].value<QTreeWidgetItem*>(), tree.node("b"));
    QTest::keyClick(&tree, Qt::Key_Return);
    QTest::keyClick(&tree, 'x');
    ASSERT_EQ(keys.size(), 2) << "moving types nothing";
    EXPECT_EQ(keys[0][0].toInt(), 13);
    EXPECT_EQ(keys[1][0].toInt(), 'x');
}

TEST(KeyedList, HeadersWidthsAndItems) {
    const ImageList images = ImageList::classImages();
    KeyedList list({"Search Results"});
    list.setImageList(&images);
    list.setColumnHeader(1, "Multiple users found ...");
    EXPECT_EQ(list.columnHeader(1), "Multiple users found ...");
    EXPECT_EQ(errorOf([&] { list.setColumnHeader(2, "x"); }), errors::kElementNotFound);
    list.setColumnWidthTwips(1, 3000);
    EXPECT_EQ(list.columnWidthTwips(1), 3000);
    EXPECT_EQ(errorOf([&] { list.setColumnWidthTwips(1, -15); }), errors::kInvalidPropertyValue);

    // Message rows have no key, and several of them may stand in the list.
    list.addItem("", "Workstation not in database: IPX 1:2:3", "Workstation");
    list.addItem("", "Workstation not in database: TCP 1.2.3.4", "Workstation");
    list.addItem("KTR:\\\\T\\A\\Smith", "Smith.A", "User");
    EXPECT_EQ(errorOf([&] { list.addItem("KTR:\\\\T\\A\\SMITH", "x", "User"); }),
              errors::kKeyNotUnique);
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(KeyedList::smallIconOf(list.item("ktr:\\\\t\\a\\smith")), "User");
    list.clearItems();
    EXPECT_EQ(list.count(), 0);
    EXPECT_NO_THROW(list.addItem("KTR:\\\\T\\A\\Smith", "Smith.A", "User"));
}

TEST(KeyedList, ReportsPressesItemClicksClicksDoubleClicksAndKeys) {
    KeyedList list({"Search Results"});
    list.addItem("a", "a");
    list.addItem("b", "b");
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QSignalSpy presses(&list, &KeyedList::mouseDown);
    QSignalSpy items(&list, &KeyedList::itemClick);
    QSignalSpy clicks(&list, &KeyedList::click);
    QSignalSpy doubles(&list, &KeyedList::dblClick);
    QSignalSpy keys(&list, &KeyedList::keyPress);
    // Every press is reported before the list selects anything.
    QObject::connect(&list, &KeyedList::mouseDown,
                     [&] { EXPECT_EQ(list.selectedItem(), nullptr); });

    const QPoint a = list.visualItemRect(list.item("a")).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, a);
    ASSERT_EQ(presses.size(), 1);
    EXPECT_EQ(presses[0][0].toInt(), mouse::kLeftButton);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0][0].value<QTreeWidgetItem*>(), list.item("a"));
    EXPECT_EQ(clicks.size(), 1);
    EXPECT_EQ(list.itemAtPoint(a), list.item("a"));
    list.clearSelection();

    // The right button is left to the owner: the list chooses nothing itself.
    QTest::mouseClick(list.viewport(), Qt::RightButton, {},
                      list.visualItemRect(list.item("b")).center());
    EXPECT_EQ(presses.size(), 2);
    EXPECT_EQ(presses[1][0].toInt(), mouse::kRightButton);
    EXPECT_EQ(list.selectedItem(), nullptr);
    EXPECT_EQ(items.size(), 1);
    EXPECT_EQ(clicks.size(), 1);

    // A click beside the items is a click, not an item's.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      QPoint(5, list.viewport()->height() - 2));
    EXPECT_EQ(clicks.size(), 2);
    EXPECT_EQ(items.size(), 1);

    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, a);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, a);
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, a);
    EXPECT_EQ(doubles.size(), 1);

    QTest::keyClick(&list, Qt::Key_Down);
    ASSERT_EQ(items.size(), 3) << "moving to an item with the keys chooses it";
    EXPECT_EQ(items[2][0].value<QTreeWidgetItem*>(), list.item("b"));
    QTest::keyClick(&list, Qt::Key_Return);
    QTest::keyClick(&list, 'x');
    ASSERT_EQ(keys.size(), 2) << "moving types nothing";
    EXPECT_EQ(keys[0][0].toInt(), 13);
    EXPECT_EQ(keys[1][0].toInt(), 'x');
}

TEST(ImageCombo, DuplicateKeysAndUnknownPicturesLeaveTheListAlone) {
    const ImageList images = ImageList::classImages();
    ImageCombo combo;
    combo.setImageList(&images);
    combo.setEditText("smi");
    EXPECT_EQ(combo.addKeyedItem("KTR:\\\\T\\A\\WS1", "WS1.A", "Workstation"), 0);
    EXPECT_EQ(combo.currentText(), "smi") << "adding an item must not replace the typed text";
    EXPECT_EQ(combo.selectedIndex(), -1);
    EXPECT_EQ(errorOf([&] { combo.addKeyedItem("ktr:\\\\t\\a\\ws1", "x", "User"); }),
              errors::kKeyNotUnique);
    EXPECT_EQ(errorOf([&] { combo.addKeyedItem("k2", "x", "Printer"); }), errors::kElementNotFound);
    EXPECT_EQ(combo.count(), 1);
    combo.setCurrentIndex(0);
    EXPECT_EQ(combo.selectedIndex(), 0);
    EXPECT_EQ(combo.keyAt(0), "KTR:\\\\T\\A\\WS1");
    EXPECT_EQ(combo.imageAt(0), "Workstation");
}

TEST(Twips, RoundsToWholePixelsAndRefusesNegativeSizes) {
    QWidget parent;
    QWidget child(&parent);
    Twips t(&child);
    t.move(3050, 1500, 1200, 300);
    EXPECT_EQ(t.left(), 3045);  // 203.33 pixels
    EXPECT_EQ(t.top(), 1500);
    EXPECT_EQ(t.width(), 1200);
    EXPECT_EQ(t.right(), 4245);
    EXPECT_EQ(errorOf([&] { t.setWidth(-1); }), errors::kInvalidPropertyValue);
    EXPECT_EQ(t.width(), 1200);
    EXPECT_NO_THROW(t.setLeft(-300));
    EXPECT_EQ(t.left(), -300);
}

TEST(StatusBar, AClickNeedsPressAndReleaseOnTheSamePanel) {
    StatusBar bar(2);
    bar.resize(400, bar.height());
    bar.show();
    bar.setPanelText(1, "Help");
    QSignalSpy clicks(&bar, &StatusBar::panelClick);
    QSignalSpy downs(&bar, &StatusBar::mouseDown);

    const QPoint inFirst(10, bar.height() / 2);
    const QPoint inSecond(300, bar.height() / 2);
    ASSERT_EQ(bar.panelAt(inFirst), 1);
    ASSERT_EQ(bar.panelAt(inSecond), 2);

    QTest::mouseClick(&bar, Qt::LeftButton, Qt::ShiftModifier, inSecond);
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(clicks[0][0].toInt(), 2);
    ASSERT_EQ(downs.size(), 1);
    EXPECT_EQ(downs[0][0].toInt(), mouse::kLeftButton);
    EXPECT_EQ(downs[0][1].toInt(), mouse::kShiftKey);
    EXPECT_EQ(downs[0][2].toDouble(), 300 * kTwipsPerPixel);

    QTest::mousePress(&bar, Qt::LeftButton, {}, inFirst);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, inSecond);
    EXPECT_EQ(clicks.size(), 1) << "a drag from one panel to another is no click";

    bar.setBevel(1, StatusBar::Raised);
    EXPECT_EQ(bar.bevel(1), StatusBar::Raised);
    EXPECT_EQ(errorOf([&] { bar.setBevel(1, 3); }), errors::kInvalidPropertyValue);
    EXPECT_EQ(errorOf([&] { bar.setPanelText(3, "x"); }), errors::kElementNotFound);
}

TEST(TabStrip, ReportsEveryClickAndOffersItsClientArea) {
    QWidget form;
    TabStrip strip({"Remote Action", "Settings", "About"}, &form);
    strip.setGeometry(0, 0, 600, 400);
    form.show();
    QSignalSpy clicks(&strip, &TabStrip::click);
    EXPECT_EQ(strip.selectedIndex(), 1);
    strip.select(2);
    EXPECT_EQ(strip.selectedIndex(), 2);
    strip.select(2);
    EXPECT_EQ(clicks.size(), 2) << "selecting the current tab again is still a click";

    QTest::mouseClick(strip.bar(), Qt::LeftButton, {}, strip.bar()->tabRect(2).center());
    EXPECT_EQ(strip.selectedIndex(), 3);
    EXPECT_EQ(clicks.size(), 3);
    QTest::mouseClick(strip.bar(), Qt::LeftButton, {}, strip.bar()->tabRect(2).center());
    EXPECT_EQ(clicks.size(), 4);

    EXPECT_GE(strip.clientTop(), toTwips(strip.bar()->height()));
    EXPECT_GT(strip.clientLeft(), 0);
    EXPECT_LT(strip.clientWidth(), 600 * kTwipsPerPixel);
    EXPECT_LT(strip.clientTop() + strip.clientHeight(), 400 * kTwipsPerPixel);
    EXPECT_EQ(errorOf([&] { strip.select(4); }), errors::kElementNotFound);
}

TEST(Services, ABoxWithoutTitleShowsTheApplicationTitle) {
    fakes::Recorders rec;
    const Services services = rec.services("Tolvane");
    services.msgBox("Sorry!", msgbox::kOkOnly);
    services.msgBox("Careful", msgbox::kCritical, "Warning!");
    ASSERT_EQ(rec.messages->boxes.size(), 2u);
    EXPECT_EQ(rec.messages->boxes[0].title, "Tolvane");
    EXPECT_EQ(rec.messages->boxes[1].title, "Warning!");
    EXPECT_EQ(rec.messages->boxes[1].style, 16);
}

namespace {

// What the standard error log writes to standard error while `write` runs,
// with standard error a terminal (a pseudo-terminal) or a pipe.
std::string standardErrorOf(bool terminal, const std::function<void(ErrorLog&)>& write) {
    int reader = -1, writer = -1;
    if (terminal) {
        reader = ::posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(reader, 0);
        EXPECT_EQ(::grantpt(reader), 0);
        EXPECT_EQ(::unlockpt(reader), 0);
        writer = ::open(::ptsname(reader), O_RDWR | O_NOCTTY);
        // The terminal as written to, without CR before each LF.
        termios raw{};
        ::tcgetattr(writer, &raw);
        raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        ::tcsetattr(writer, TCSANOW, &raw);
    } else {
        int ends[2];
        EXPECT_EQ(::pipe(ends), 0);
        reader = ends[0];
        writer = ends[1];
    }
    EXPECT_GE(writer, 0);
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(writer, STDERR_FILENO);
    const Services services = Services::qt("Tolvane", {});
    write(*services.errors);
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    // Read while the writing end is open: what was written, then nothing.
    ::fcntl(reader, F_SETFL, O_NONBLOCK);
    std::string out;
    char buffer[4096];
    for (ssize_t got; (got = ::read(reader, buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<std::size_t>(got));
    ::close(writer);
    ::close(reader);
    return out;
}

}  // namespace

TEST(Services, TheStandardLogShowsProgressOnATerminalOnlyAndEndsItBeforeALine) {
    const std::string name =
        QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString();
    const auto run = [](ErrorLog& log) {
        log.progress("Building: 1 workstation(s)");
        log.progress("Building: 2 workstation(s)");
        log.write("The reason");
        log.progress("Building: 3 workstation(s)");
        log.progress({});
        log.progress({});
    };
    // Each progress line over the one before; erased before a line of the
    // log and at the end.
    EXPECT_EQ(standardErrorOf(true, run), "\r" + name + ": Building: 1 workstation(s)\x1b[K\r" +
                                              name + ": Building: 2 workstation(s)\x1b[K\r\x1b[K" +
                                              name + ": The reason\n\r" + name +
                                              ": Building: 3 workstation(s)\x1b[K\r\x1b[K");
    // A file, a pipe or a scheduler's mail gets the lines of the log alone.
    EXPECT_EQ(standardErrorOf(false, run), name + ": The reason\n");
}
