// The main window's layout: the resize with its minimum width and captions,
// both splitters with their limits, tab switching, the status bar's help
// panel and the default-action drop-down.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSet>

#include "app/shell/Validation.h"
#include "formfixture.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/keyedlistview.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/mousegrip.h"
#include "platform/forms/statusbar.h"
#include "platform/forms/tabstrip.h"
#include "platform/forms/twips.h"

using platform::forms::kTwipsPerPixel;
using platform::forms::Twips;

// Twips are whole pixels on screen: a measure may be off by one pixel.
#define EXPECT_TWIPS(actual, expected) EXPECT_NEAR((actual), (expected), kTwipsPerPixel)

namespace {
// The help file beside the program, as a local path.
QString helpFile() {
    return QCoreApplication::applicationDirPath() + "/Tvn.hlp";
}
}  // namespace

TEST_F(FormTest, ANarrowWindowSnapsBackTo3000Twips) {
    loadAndShow();
    Twips(form.get()).setWidth(1500);
    EXPECT_TRUE(eventually([&] { return Twips(form.get()).width() == 3000; }))
        << Twips(form.get()).width();
    Twips(form.get()).setWidth(4500);
    EXPECT_TRUE(eventually([&] { return Twips(form.get()).width() == 4500; }));
}

TEST_F(FormTest, MinimizingShowsTheShortCaptionAndRestoringRedoesTheLayout) {
    loadAndShow();
    form->treeName = "CorpTree";
    form->showMinimized();
    EXPECT_TRUE(eventually([&] { return form->windowTitle() == "TVN on CorpTree"; }));
    form->showNormal();
    EXPECT_TRUE(eventually([&] { return form->windowTitle() == "Tolvane on CorpTree"; }));
}

TEST_F(FormTest, ResizeFitsTheTabStripPagesAndFrames) {
    loadAndShow();
    Twips(form.get()).move(1000, 1000, 9000, 7500);
    ASSERT_TRUE(eventually([&] { return Twips(form.get()).height() == 7500; }));
    Twips strip(form->TabStrip);
    EXPECT_TWIPS(strip.width(), Twips(form.get()).innerWidth());
    EXPECT_TWIPS(strip.height(), 7500 - (Twips(form->StatusBar).height() + 400));
    for (int i = 1; i <= 3; ++i) {
        Twips page(form->picControl[i]);
        EXPECT_TWIPS(page.left(), form->TabStrip->clientLeft());
        EXPECT_TWIPS(page.top(), form->TabStrip->clientTop());
        EXPECT_TWIPS(page.width(), form->TabStrip->clientWidth());
        EXPECT_TWIPS(page.height(), form->TabStrip->clientHeight());
    }
    Twips page1(form->picControl[1]), combo(form->ImageCombo1), rc(form->cmdRC),
        drop(form->Command1);
    EXPECT_TWIPS(combo.width(), page1.width() - rc.width() - drop.width() - 200);
    EXPECT_TWIPS(rc.left(), combo.right() + 60);
    EXPECT_TWIPS(drop.left(), rc.right());
    EXPECT_EQ(rc.top(), combo.top());
    EXPECT_EQ(drop.height(), combo.height());
    Twips tree(form->TreeViewRC);
    EXPECT_TWIPS(tree.height(), page1.height() - tree.top() - 60);
    EXPECT_EQ(Twips(form->imgSplitterV).height(), tree.height());
    EXPECT_TWIPS(Twips(form->TreeViewWS).height(), Twips(form->frameS[4]).height() - 970);
    EXPECT_TWIPS(Twips(form->FrameAbout).width(), page1.width() - 120);
}

TEST_F(FormTest, SizeControlsPlaceTheSplittersAndThePanesBesideThem) {
    loadAndShow();
    form->SizeControlsV(4005);
    Twips tree(form->TreeViewRC), info(form->lvwKTRinfo), results(form->lstMultiple);
    EXPECT_TWIPS(tree.width(), 4005 - tree.left());
    EXPECT_TWIPS(Twips(form->imgSplitterV).left(), 4005);
    EXPECT_TWIPS(info.left(), 4055);
    EXPECT_EQ(results.left(), info.left());
    EXPECT_EQ(Twips(form->imgSplitterH).left(), info.left());
    EXPECT_TWIPS(info.width(), Twips(form.get()).width() - (tree.width() + 420));
    EXPECT_EQ(results.width(), info.width());
    EXPECT_TWIPS(form->lstMultiple->columnWidthTwips(1), results.width() - 300);

    form->SizeControlsH(3000);
    EXPECT_TWIPS(info.height(), 3000 - info.top());
    EXPECT_TWIPS(Twips(form->imgSplitterH).top(), 3000);
    EXPECT_TWIPS(results.top(), 3030);
    EXPECT_TWIPS(results.height(), Twips(form->picControl[1]).height() - results.top() - 30);
}

TEST_F(FormTest, DraggingTheVerticalSplitterStopsShortOfBothSides) {
    loadAndShow();
    const double width = Twips(form.get()).width();
    const double gripLeft = Twips(form->imgSplitterV).left();

    form->imgSplitterV_MouseDown(1, 0, 0, 0);
    EXPECT_TRUE(form->picSplitterV->isVisible());
    EXPECT_EQ(Twips(form->picSplitterV).left(), gripLeft);
    form->imgSplitterV_MouseMove(1, 0, -gripLeft, 0);
    EXPECT_TWIPS(Twips(form->picSplitterV).left(), 500);
    form->imgSplitterV_MouseMove(1, 0, width, 0);
    EXPECT_TWIPS(Twips(form->picSplitterV).left(), width - 500);
    form->imgSplitterV_MouseMove(1, 0, 1035, 0);
    EXPECT_TWIPS(Twips(form->picSplitterV).left(), gripLeft + 1000);
    form->imgSplitterV_MouseUp(1, 0, 0, 0);
    EXPECT_FALSE(form->picSplitterV->isVisible());
    EXPECT_TWIPS(Twips(form->TreeViewRC).right(), gripLeft + 1000);
    EXPECT_TWIPS(Twips(form->lvwKTRinfo).left(), gripLeft + 1050);

    // Without a press first, moving the mouse over the grip moves nothing.
    form->imgSplitterV_MouseMove(0, 0, -gripLeft, 0);
    EXPECT_FALSE(form->picSplitterV->isVisible());
    EXPECT_TWIPS(Twips(form->imgSplitterV).left(), gripLeft + 1000);
}

TEST_F(FormTest, DraggingTheHorizontalSplitterStopsShortOfTopAndBottom) {
    loadAndShow();
    const double height = Twips(form.get()).height();
    const double gripTop = Twips(form->imgSplitterH).top();
    form->imgSplitterH_MouseDown(1, 0, 0, 0);
    EXPECT_TWIPS(Twips(form->picSplitterH).top(), gripTop - 20);
    form->imgSplitterH_MouseMove(1, 0, 0, -gripTop);
    EXPECT_TWIPS(Twips(form->picSplitterH).top(), 1500);
    form->imgSplitterH_MouseMove(1, 0, 0, height);
    EXPECT_TWIPS(Twips(form->picSplitterH).top(), height - 1500);
    form->imgSplitterH_MouseUp(1, 0, 0, 0);
    EXPECT_TWIPS(Twips(form->lstMultiple).top(), height - 1500 + 30);
}

TEST_F(FormTest, TheSplitterGripFollowsTheRealMouse) {
    loadAndShow();
    const double gripLeft = Twips(form->imgSplitterV).left();
    const QPoint middle(1, form->imgSplitterV->height() / 2);
    QTest::mousePress(form->imgSplitterV, Qt::LeftButton, {}, middle);
    QTest::mouseMove(form->imgSplitterV, middle + QPoint(40, 0));
    QTest::mouseRelease(form->imgSplitterV, Qt::LeftButton, {}, middle + QPoint(40, 0));
    // mouse x (41 pixels) + grip left - 35
    EXPECT_TWIPS(Twips(form->imgSplitterV).left(), gripLeft + 41 * kTwipsPerPixel - 35);
}

TEST_F(FormTest, TabClicksSwitchPagesAndClearTheStatusOnlyOnAChange) {
    loadAndShow();
    form->setStatusText("Context: KTR:\\\\CorpTree\\Acme");
    form->TabStrip->select(1);
    EXPECT_EQ(form->statusText(), "Context: KTR:\\\\CorpTree\\Acme")
        << "clicking the current tab again changes nothing";
    form->TabStrip->select(2);
    EXPECT_TRUE(form->picControl[2]->isVisible());
    EXPECT_FALSE(form->picControl[1]->isVisible());
    EXPECT_EQ(form->mintCurFrame, 2);
    EXPECT_EQ(form->statusText(), "");

    form->setStatusText("x");
    form->TabStripSettings->select(3);
    EXPECT_TRUE(form->frameS[3]->isVisible());
    EXPECT_FALSE(form->frameS[1]->isVisible());
    EXPECT_EQ(form->mintCurFrameSettings, 3);
    EXPECT_EQ(form->statusText(), "");
}

TEST_F(FormTest, TabsWorkEvenWhenStartupStoppedBeforeChoosingAPage) {
    objects.failAt = 0;
    objects.failWith = 429;
    loadAndShow();
    ASSERT_EQ(form->mintCurFrame, 0);
    form->TabStrip->select(3);
    EXPECT_TRUE(form->picControl[3]->isVisible());
    EXPECT_FALSE(form->picControl[1]->isVisible());
    EXPECT_FALSE(form->picControl[2]->isVisible());
}

TEST_F(FormTest, TheHelpPanelOpensTheHelpFileAndTheOtherOnlyChangesItsBevel) {
    loadAndShow();
    using platform::forms::StatusBar;
    StatusBar* bar = form->StatusBar;
    const int y = bar->height() / 2;
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() - 10, y));
    EXPECT_EQ(bar->bevel(2), StatusBar::Inset);
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(10, y));
    EXPECT_EQ(bar->bevel(1), StatusBar::Inset);
    ASSERT_TRUE(eventually([&] { return !rec.help->opened.isEmpty(); }));
    EXPECT_EQ(rec.help->opened, QStringList{helpFile()}) << "only the Help panel asks for help";
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(bar->width() - 10, y));
    EXPECT_EQ(bar->bevel(1), StatusBar::Raised);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(bar->width() - 10, y));
}

TEST_F(FormTest, F1AnywhereInTheWindowOpensTheHelpFile) {
    loadAndShow();
    QTest::keyClick(form->TreeViewRC, Qt::Key_F1);
    EXPECT_EQ(rec.help->opened, QStringList{helpFile()});
}

TEST_F(FormTest, TheDropDownButtonPopsTheDefaultActionMenuUpBelowTheMainButton) {
    loadAndShow();
    QTest::mousePress(form->Command1, Qt::LeftButton);
    QTest::mouseRelease(form->Command1, Qt::LeftButton);
    ASSERT_EQ(rec.menus->popups.size(), 1u);
    EXPECT_EQ(rec.menus->popups[0].menu, "mnuDefaultAction");
    Twips rc(form->cmdRC);
    EXPECT_EQ(rec.menus->popups[0].pos, QPoint(platform::forms::toPixels(rc.left() + 50),
                                               platform::forms::toPixels(rc.bottom() + 50)));
}

TEST_F(FormTest, MenusCarryTheirItemsInCatalogueOrder) {
    load();
    QStringList main, defaults;
    for (QAction* a : form->mnuMain->actions()) main << a->objectName() + "=" + a->text();
    for (QAction* a : form->mnuDefaultAction->actions()) defaults << a->objectName();
    // The action items carry access keys, one letter each, none twice.
    EXPECT_EQ(main,
              QStringList({"mnuRC=Remote &Control", "mnuRV=Remote &View", "mnuRe=Remote &Execute",
                           "mnuFT=&File Transfer", "mnuCH=C&hat", "mnuRD=&Diagnostics",
                           "mnuRI=&Inventory", "mnuRP=&Ping RM Agent"}));
    QSet<QChar> keys;
    for (QAction* a : form->mnuMain->actions()) {
        const qsizetype amp = a->text().indexOf(u'&');
        ASSERT_GE(amp, 0) << a->text().toStdString();
        keys.insert(a->text().at(amp + 1).toLower());
    }
    EXPECT_EQ(keys.size(), form->mnuMain->actions().size());
    EXPECT_EQ(defaults, QStringList({"mnuDefRC", "mnuDefRV", "mnuDefRE", "mnuDefFileTransfer",
                                     "mnuDefCH", "mnuDefDiag", "mnuDefInventory", "mnuDefPing"}));
    EXPECT_EQ(form->menuItem("mnuRefreshTreeBranch")->text(), "&Refesh Container List");
    EXPECT_EQ(form->menuItem("mnuSearchAnchor")->text(),
              "&Always start searching from within this container");
    EXPECT_EQ(form->mnuDefaultAction->actions().at(0)->text(), "Remote Control")
        << "the default menu keeps the plain captions";
    EXPECT_EQ(form->mnuDefaultAction->title(), "DefaultAction");
}

TEST(Validation, BlankTextsAddUpTo32TimesTheirLength) {
    for (const char* text : {"", " ", "   "}) {
        QString s = text;
        EXPECT_EQ(tvn::Validation::CheckBlank(s), static_cast<float>(s.size())) << text;
    }
    QString smi = "smi";
    EXPECT_NE(tvn::Validation::CheckBlank(smi), 3.0f);
    QString tab = "\t";
    EXPECT_NE(tvn::Validation::CheckBlank(tab), 1.0f) << "a tab is no blank";
}

TEST_F(FormTest, TheSplitterGripsShowTheResizePointerWhereThePointerMeetsThem) {
    loadAndShow();
    ASSERT_TRUE(eventually([&] { return form->imgSplitterV->width() > 0; }));
    for (auto [grip, shape] : {std::pair{form->imgSplitterV, Qt::SplitHCursor},
                               std::pair{form->imgSplitterH, Qt::SplitVCursor}}) {
        ASSERT_TRUE(grip->isVisible());
        const QPoint middle = grip->mapToGlobal(grip->rect().center());
        QWidget* under = QApplication::widgetAt(middle);
        ASSERT_NE(under, nullptr);
        EXPECT_EQ(under, grip) << "under the pointer: " << under->objectName().toStdString();
        EXPECT_EQ(under->cursor().shape(), shape);
    }
}

TEST_F(FormTest, TheAboutPageSaysHowTheProgramIsInstalledAndConfigured) {
    load();
    const QString note = form->lblDistribution->text();
    EXPECT_FALSE(note.contains("copy the program folder")) << "the packages install it";
    EXPECT_TRUE(note.contains("Debian package tolvane")) << note.toStdString();
    EXPECT_TRUE(note.contains("KDDIR_SOURCE"));
    EXPECT_TRUE(note.contains("Software\\KDDirLib\\KDDirCtrl\\Source"));
    EXPECT_TRUE(note.contains("/usr/share/doc/tolvane/README.md"));
}
